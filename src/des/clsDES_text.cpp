// Files and texts: the container of whole files and of byte strings.
#include <exception>
#include <new>

#include "des/clsDES.h"
#include "support/app_error.h"
#include "support/s_modFileFun.h"

namespace portquell {

void clsDES::TransformFile(const std::string& source, const std::string& dest,
                           const std::string& key, bool decrypt) {
    if (!FileExists(source)) {
        throw AppError(errnum::kApplicationDefined,
                       "Error in Skipjack EncryptFile procedure (Source file does not exist).");
    }
    std::vector<std::uint8_t> buffer = ReadFileBytes(source);
    if (decrypt) {
        DecryptByte(buffer, key);
    } else {
        EncryptByte(buffer, key);
    }
    // Only now is the destination touched, and replaced in one step.
    WriteFileReplacing(dest, buffer);
}

void clsDES::EncryptFile(const std::string& SourceFile, const std::string& DestFile,
                         const std::string& Key) {
    TransformFile(SourceFile, DestFile, Key, false);
}

void clsDES::DecryptFile(const std::string& SourceFile, const std::string& DestFile,
                         const std::string& Key) {
    TransformFile(SourceFile, DestFile, Key, true);
}

std::string clsDES::TransformString(const std::string& text, const std::string& key,
                                    bool decrypt, bool showError) {
    if (text.empty()) return "";
    AppError failure = OutOfMemoryError();
    try {
        std::vector<std::uint8_t> bytes(text.begin(), text.end());
        if (decrypt) {
            DecryptByte(bytes, key);
        } else {
            EncryptByte(bytes, key);
        }
        return std::string(bytes.begin(), bytes.end());
    } catch (const AppError& e) {
        failure = e;
    } catch (const std::bad_alloc&) {
        // failure already says: out of memory
    } catch (const std::exception& e) {
        // A Progress handler's own exception, or any other foreign one.
        failure = InternalError(e.what());
    } catch (...) {
        failure = InternalError();
    }
    if (showError && showWarning_) {
        showWarning_(std::string(decrypt ? "Failed to decrypt string, err="
                                         : "Failed to encrypt string, err=") +
                     std::to_string(failure.Number()) + ": " + failure.Description() +
                     "\r\n\r\nWill return empty string!");
    }
    return "";
}

std::string clsDES::EncryptString(const std::string& Text, const std::string& Key) {
    return TransformString(Text, Key, false, true);
}

std::string clsDES::DecryptString(const std::string& Text, const std::string& Key,
                                  bool bDispErrMsg) {
    return TransformString(Text, Key, true, bDispErrMsg);
}

}  // namespace portquell
