// Mostrel: stands in for the measuring program that practice software orders tests from.
// It runs the exchange calls listed in "Mostrel.script" in its home folder, one call a
// line with its arguments separated by tabs, prints each call's result on a line of its
// own (fields separated by tabs) and ends; without a script it ends at once.
//
//   GetNewOrder | SetOrderSendResult ext 0/1 | Clear | SetSoftwareInfo maker name version
//   SetTestInfo device y m d h min s | AddTest id value std low high unit
//   AddFiles format description path | AddComment text | AddResultsText text
//   MakeResultData ext | UpdateResultFiles | VerifyShareFolder [path user password]
//   Marker path            (writes an empty file, to show the program ran)
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/atomicfile.h"
#include "platform/folders.h"
#include "zeqgdt/gdtmanager.h"

namespace {

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> out;
    std::stringstream ss(line);
    std::string part;
    while (std::getline(ss, part, '\t')) out.push_back(part);
    return out;
}

std::string Arg(const std::vector<std::string>& a, std::size_t i) { return i < a.size() ? a[i] : std::string(); }
int IntArg(const std::vector<std::string>& a, std::size_t i) { return std::atoi(Arg(a, i).c_str()); }
double RealArg(const std::vector<std::string>& a, std::size_t i) { return std::atof(Arg(a, i).c_str()); }

}  // namespace

int main() {
    std::ifstream script(platform::HomeDir("Mostrel") + "Mostrel.script");
    if (!script) return 0;
    CGDTManager manager;
    std::string line;
    while (std::getline(script, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const auto a = Split(line);
        if (a.empty() || a[0].empty() || a[0][0] == '#') continue;
        const std::string& call = a[0];
        if (call == "GetNewOrder") {
            CString ext, name, id, last, first, device;
            int y = 0, m = 0, d = 0;
            eGENDER g = GENDER_NONE;
            double h = 0, w = 0;
            int r = manager.GetNewOrder(ext, name, id, last, first, y, m, d, g, h, w, device, 0);
            std::printf("GetNewOrder\t%d\t%s\t%s\t%s\t%s\t%s\t%d\t%d\t%d\t%d\t%g\t%g\t%s\n", r, ext.c_str(),
                        name.c_str(), id.c_str(), last.c_str(), first.c_str(), y, m, d, g, h, w, device.c_str());
        } else if (call == "SetOrderSendResult") {
            manager.SetOrderSendResult(Arg(a, 1), IntArg(a, 2));
            std::printf("SetOrderSendResult\n");
        } else if (call == "Clear") {
            manager.Clear();
            std::printf("Clear\n");
        } else if (call == "SetSoftwareInfo") {
            manager.SetSoftwareInfo(Arg(a, 1), Arg(a, 2), Arg(a, 3));
            std::printf("SetSoftwareInfo\n");
        } else if (call == "SetTestInfo") {
            manager.SetTestInfo(static_cast<eDEVICE>(IntArg(a, 1)), IntArg(a, 2), IntArg(a, 3), IntArg(a, 4),
                                IntArg(a, 5), IntArg(a, 6), IntArg(a, 7));
            std::printf("SetTestInfo\n");
        } else if (call == "AddTest") {
            manager.AddTest(Arg(a, 1), RealArg(a, 2), RealArg(a, 3), RealArg(a, 4), RealArg(a, 5), Arg(a, 6));
            std::printf("AddTest\n");
        } else if (call == "AddFiles") {
            manager.AddFiles(Arg(a, 1), Arg(a, 2), Arg(a, 3));
            std::printf("AddFiles\n");
        } else if (call == "AddComment") {
            manager.AddComment(Arg(a, 1));
            std::printf("AddComment\n");
        } else if (call == "AddResultsText") {
            manager.AddResultsText(Arg(a, 1));
            std::printf("AddResultsText\n");
        } else if (call == "MakeResultData") {
            std::printf("MakeResultData\t%d\n", manager.MakeResultData(Arg(a, 1)));
        } else if (call == "UpdateResultFiles") {
            std::printf("UpdateResultFiles\t%d\n", manager.UpdateResultFiles());
        } else if (call == "VerifyShareFolder") {
            int r = a.size() > 1 ? manager.VerifyShareFolder(Arg(a, 1), Arg(a, 2), Arg(a, 3)) : manager.VerifyShareFolder();
            std::printf("VerifyShareFolder\t%d\n", r);
        } else if (call == "Marker") {
            std::printf("Marker\t%d\n", platform::WriteFileAtomically(Arg(a, 1), "") ? 1 : 0);
        } else {
            std::printf("Unknown\t%s\n", call.c_str());
        }
        std::fflush(stdout);
    }
    return 0;
}
