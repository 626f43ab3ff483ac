// ftpinfo: writes and shows the FTP sender's destination file ("senderinfo.cfg").
//   ftpinfo show FILE
//   ftpinfo write FILE --server HOST --user NAME [--port N]   (password: first line of stdin)
// Exit codes: 0 done, 1 the file could not be read or written, 2 bad arguments.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "acq_server/ftp/ftpinfofile.h"

namespace {

int Usage() {
    std::cerr << "usage: ftpinfo show FILE\n"
                 "       ftpinfo write FILE --server HOST --user NAME [--port N]\n"
                 "         (the password is the first line of standard input)\n";
    return 2;
}

bool ParsePort(const std::string& text, int& nPort) {
    if (text.empty() || text.size() > 5)
        return false;
    for (char ch : text)
        if (ch < '0' || ch > '9')
            return false;
    nPort = std::atoi(text.c_str());
    return nPort <= 65535;
}

int Show(const std::string& path) {
    CFtpInfoFile info;
    if (!info.Load(path.c_str())) {
        std::cerr << "ftpinfo: " << path << ": no readable destination file\n";
        return 1;
    }
    std::cout << "server: " << info.m_strServer << "\n"
              << "user: " << info.m_strUser << "\n"
              << "password: (" << info.m_strPassword.size() << " characters)\n"
              << "port: " << info.m_nPort << "\n";
    return 0;
}

int Write(const std::string& path, int argc, char** argv) {
    CFtpInfoFile info;
    for (int i = 0; i < argc; ++i) {
        std::string arg = argv[i];
        if (i + 1 >= argc)
            return Usage();
        std::string value = argv[++i];
        if (arg == "--server")
            info.m_strServer = value;
        else if (arg == "--user")
            info.m_strUser = value;
        else if (arg == "--port") {
            if (!ParsePort(value, info.m_nPort)) {
                std::cerr << "ftpinfo: bad port: " << value << "\n";
                return 2;
            }
        } else
            return Usage();
    }
    if (!std::getline(std::cin, info.m_strPassword)) {
        std::cerr << "ftpinfo: no password on standard input\n";
        return 2;
    }
    if (!info.m_strPassword.empty() && info.m_strPassword.back() == '\r')
        info.m_strPassword.pop_back();
    for (const auto& [name, text] :
         {std::pair<const char*, const CString*>{"server", &info.m_strServer},
          {"user", &info.m_strUser},
          {"password", &info.m_strPassword}}) {
        if (text->empty() || text->size() > CFtpInfoFile::kMaxLength) {
            std::cerr << "ftpinfo: the " << name << " must have 1 to " << CFtpInfoFile::kMaxLength
                      << " characters\n";
            return 2;
        }
    }
    if (!info.Save(path.c_str())) {
        std::cerr << "ftpinfo: " << path << ": cannot be written\n";
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3)
        return Usage();
    std::string command = argv[1];
    if (command == "show" && argc == 3)
        return Show(argv[2]);
    if (command == "write")
        return Write(argv[2], argc - 3, argv + 3);
    return Usage();
}
