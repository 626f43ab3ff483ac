#include "acq_server/app/commands.h"

#include "acq_server/app/mainframe.h"

namespace qarcmd {

namespace {
using F = CMainFrame;
const CCommand kCommands[] = {
    {ID_EXIT, "Sair", &F::OnExit, nullptr},
    {ID_STOP_SERVER, "Parar Servidor", &F::OnStopServer, &F::IsServerRunning},
    {ID_START_SERVER, "Iniciar Servidor", &F::OnStartServer, &F::IsServerStopped},
    {ID_ENVIRONMENT, "Configurações Gerais", &F::OnEnvironment, nullptr},
    {ID_DATA_LIST, "Lista de Dados", &F::OnDataList, nullptr},
    {ID_OPEN_ECG, "Run Lindar", &F::OnOpenEcg, nullptr},
    {ID_RUN_LINDAR, "Executar Lindar", &F::OnRunLindar, nullptr},
    {ID_RUN_PULMETRA, "Executar Pulmetra", &F::OnRunPulmetra, nullptr},
    {ID_OPEN_SPIRO, "Run Pulmetra", &F::OnOpenSpiro, nullptr},
    {ID_RUN_UPGRADE, "Executar Upgrade", &F::OnRunUpgrade, nullptr},
    {ID_ORDER, "Registro", &F::OnOrder, nullptr},
    {ID_CONNECT_DEVICE, "Connect to Device", &F::OnConnectDevice, nullptr},
    {ID_APP_ABOUT, "&Sobre...", &F::OnAppAbout, nullptr},
    {ID_APP_EXIT, "S&air", &F::OnAppExit, nullptr},
};
const int kTrayMenu[] = {ID_RUN_LINDAR, ID_RUN_PULMETRA, 0,
                         ID_DATA_LIST,  ID_ENVIRONMENT,  ID_ORDER,
                         ID_CONNECT_DEVICE, 0,           ID_RUN_UPGRADE,
                         0,             ID_EXIT};
}  // namespace

std::span<const CCommand> Commands() { return kCommands; }

const CCommand* FindCommand(int nId) {
    for (const CCommand& c : kCommands) {
        if (c.nId == nId)
            return &c;
    }
    return nullptr;
}

std::span<const int> TrayMenu() { return kTrayMenu; }

}  // namespace qarcmd
