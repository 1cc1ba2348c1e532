// des_file encrypt|decrypt SOURCE DEST KEY: one EncryptFile or DecryptFile
// call, for measuring its peak memory with /usr/bin/time -v.
#include <cstdio>
#include <cstring>

#include "des/clsDES.h"
#include "support/app_error.h"

int main(int argc, char** argv) {
    if (argc != 5 || (std::strcmp(argv[1], "encrypt") != 0 && std::strcmp(argv[1], "decrypt") != 0)) {
        std::fprintf(stderr, "usage: des_file encrypt|decrypt SOURCE DEST KEY\n");
        return 64;
    }
    portquell::clsDES des;
    try {
        if (std::strcmp(argv[1], "encrypt") == 0) {
            des.EncryptFile(argv[2], argv[3], argv[4]);
        } else {
            des.DecryptFile(argv[2], argv[3], argv[4]);
        }
    } catch (const portquell::AppError& e) {
        std::fprintf(stderr, "des_file: error %d: %s\n", e.Number(), e.Description().c_str());
        return 1;
    }
    return 0;
}
