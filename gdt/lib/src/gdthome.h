#pragma once
// Where the GDT exchange keeps its settings ("ZeqGDT.ini"), its temporary folder ("GDTTmp")
// and its log: the home folder of the bridge ZeqGDT, whatever program of the exchange runs.
// The bridge and the measuring program it starts lie in one program folder, so they share
// one settings file and one temporary folder, and what the bridge prepares is what the
// measuring program reads.
#include <string>

namespace gdthome {

// "$CORVANE_HOME/ZeqGDT/" (or the XDG folder of the same name), made when missing.
std::string HomeDir();

// A program of the exchange that kept its own "ZeqGDT.ini" and "GDTTmp" in its own home
// folder (as the measuring program did before they were shared) hands them over once:
// every taken order, result and attachment of its temporary folder moves into the shared
// one (never replacing a file), and each setting the operator changed only in its own file
// is carried into the shared file where that still holds the value first written there.
// Its file is then kept as "ZeqGDT.ini.old". Nothing happens for the bridge itself or when
// there is no such file.
void HandOverOwnHome();

}  // namespace gdthome
