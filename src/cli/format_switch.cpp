// disable and enable --json: what was asked, written, put back or left,
// and with --now each port's relief, as one document.
#include "cli/cli_formats.h"
#include "cli/cli_text.h"

namespace portquell {

namespace {

const char* NeedWord(const Relief& relief, bool dryRun) {
    switch (relief.need) {
        case Relief::Need::NoEnumerator:
            return "noSerialEnumerator";
        case Relief::Need::NotConnected:
            return "notConnected";
        case Relief::Need::OffAlready:
            return "offAlready";
        case Relief::Need::Restart:
            break;
    }
    if (dryRun) return "wouldRestart";
    return relief.restart.Ok() ? "restarted" : "refused";
}

const char* RemovalWord(const Relief::Removal& removal, bool dryRun) {
    if (dryRun) return "wouldRemove";
    if (removal.Gone()) return removal.status.Ok() ? "removed" : "goneAlready";
    return removal.status.AtNextRestart() ? "atNextRestart" : "notRemoved";
}

void Removals(std::ostream& out, const std::vector<Relief::Removal>& removals, bool dryRun) {
    out << "[";
    for (std::size_t i = 0; i < removals.size(); ++i) {
        const Relief::Removal& r = removals[i];
        out << (i == 0 ? "" : ", ") << "{\"device\": " << JsonString(r.mouse.device.instanceId)
            << ", \"removal\": \"" << RemovalWord(r, dryRun) << "\", \"status\": ";
        if (dryRun) {
            out << "null}";
        } else {
            out << r.status.code << "}";
        }
    }
    out << "]";
}

}  // namespace

void WriteSwitchJson(const SwitchReport& report, std::ostream& out) {
    JsonReport json;
    json.reasons = true;
    json.missing = report.missing;
    json.refused = report.refused;
    json.more = [&](std::ostream& o) {
        o << ",\n  \"write\": {\"value\": \"" << kSkipEnumerations << "\", \"type\": \"REG_DWORD\", \"data\": "
          << (report.off ? "-1" : "0") << "}";
        const std::vector<SerialPort> none;
        const std::vector<SerialPort>& written = report.writes ? report.writes->written : none;
        WriteJsonArray(o, report.dryRun ? "wouldWrite" : "written", written,
             [&](const SerialPort& p) { o << JsonString("HKLM\\" + p.ParameterKey()); });
        const std::vector<PortWrites::Left> noLeft;
        WriteJsonArray(o, "leftChanged", report.writes ? report.writes->left : noLeft, [&](const PortWrites::Left& l) {
            o << "{\"port\": " << JsonString(l.port.portName) << ", \"key\": " << JsonString("HKLM\\" + l.port.ParameterKey());
            if (l.readStatus != regstatus::kSuccess) {
                o << ", \"readStatus\": " << l.readStatus << "}";
            } else {
                o << ", \"mouseDetection\": " << JsonString(Detection(l.port)) << ", \"reason\": "
                  << JsonString(SkipReason(l.port.skip)) << "}";
            }
        });
        WriteJsonArray(o, "asAskedAlready", report.writes ? report.writes->already : none,
             [&](const SerialPort& p) { o << JsonString("HKLM\\" + p.ParameterKey()); });
        if (report.relief) {
            const ReliefReport& relief = *report.relief;
            WriteJsonArray(o, "relief", relief.ports, [&](const Relief& r) {
                o << "{\"port\": " << JsonString(r.port.portName) << ", \"key\": " << JsonString("HKLM\\" + r.port.InstanceKey())
                  << ", \"restart\": \"" << NeedWord(r, report.dryRun) << "\", \"restartStatus\": ";
                if (r.Restarts() && !report.dryRun) {
                    o << r.restart.code;
                } else {
                    o << "null";
                }
                o << ", \"inForceNow\": " << (report.dryRun ? "null" : relief.InForceNow(r) ? "true" : "false");
                const ReliefVerdict verdict = relief.VerdictOf(r);
                if (report.dryRun) {
                    o << ", \"verdict\": null, \"verdictStatus\": null";
                } else {
                    o << ", \"verdict\": \"" << VerdictWord(verdict) << "\", \"verdictStatus\": ";
                    if (verdict.kind == ReliefVerdict::Kind::Refused) {
                        o << verdict.status.code;
                    } else {
                        o << "null";
                    }
                }
                o << ", \"mice\": ";
                Removals(o, r.removals, report.dryRun);
                o << "}";
            });
            o << ",\n  \"unattachedMice\": ";
            Removals(o, relief.unattached, report.dryRun);
            WriteJsonArray(o, "miceLeft", relief.left, [&](const SerialMouse& m) { WriteMouseJson(m, o); });
            o << ",\n  \"miceComplete\": " << (relief.miceComplete ? "true" : "false");
        }
        o << ",\n  \"changed\": " << (!report.dryRun && report.writes && !report.writes->written.empty() ? "true" : "false");
        if (report.plan) WritePlanJson(*report.plan, o);
    };
    WriteJson(report.ports, json, out);
}

}  // namespace portquell
