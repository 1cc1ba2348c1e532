// The system's event log as the program reports its changes to it: one
// event, a number telling its kind, a type and one text. Windows keeps it
// in the Application log under the source "Portquell"; every build has an
// in-memory log that keeps what it is told.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace portquell {

inline constexpr const char* kEventSource = "Portquell";
// Where Windows looks up an event source's message table.
inline constexpr const char* kEventSourceKey = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Portquell";

enum class EventType { Information, Warning, Error };

class EventLog {
public:
    virtual ~EventLog() = default;
    // Reports one event (text in UTF-8); 0, or the system's status when it
    // refused.
    [[nodiscard]] virtual std::int32_t Report(std::uint32_t eventId, EventType type, const std::string& text) = 0;
};

class MemoryEventLog final : public EventLog {
public:
    struct Event {
        std::uint32_t id = 0;
        EventType type = EventType::Information;
        std::string text;
    };
    std::int32_t Report(std::uint32_t eventId, EventType type, const std::string& text) override {
        if (refuseWith != 0) return refuseWith;
        events.push_back({eventId, type, text});
        return 0;
    }
    std::vector<Event> events;
    std::int32_t refuseWith = 0;  // a status to refuse every report with
};

// The log of the system the program runs on: the Application event log on
// Windows; elsewhere, which has none, one in-memory log per process.
[[nodiscard]] EventLog& PlatformEventLog();
// The account the program runs as, "DOMAIN\user", in ANSI; "" when it
// cannot be told.
[[nodiscard]] std::string RunningAccount();
// Whether the program runs elevated (with administrator rights in force).
[[nodiscard]] bool RunningElevated();
// The program's own file in ANSI, as the event source names its message
// table; "" when it has no ANSI name.
[[nodiscard]] std::string RunningProgramPath();

}  // namespace portquell
