#include "acq_server/app/strings.h"

#include "platform/codepage.h"

namespace qarstr {

namespace {
struct CEntry {
    int nId;
    const char* pszText;
};
constexpr CEntry kTable[] = {
    {IDS_SOCKETS_INIT_FAILED, "Falha na Inicialização do \"Windows sockets\""},
    {IDR_MAINFRAME, "Qar Server"},
    {IDS_APP_TITLE, "Qar Server"},
    {IDS_IP_INVALID, "Endereço IP Inválido !!"},
    {IDS_TRAY_TIP, "Qar Server Executando..."},
    {IDS_ALREADY_RUNNING, "Qar server já está sendo executado!!!"},
    {IDS_DATA_TIME, "Data/Hora"},
    {IDS_PATIENT_ID, "ID do Paciente"},
    {IDS_FILE_NAME, "Nome do arquivo"},
    {IDS_SPLASH_FOLDER, "Selecione a Pasta de Trabalho (Salvar na Pasta)"},
    {IDS_EXE_FILTER, "Arquivo de Execução  (*.exe)|*.exe"},
    {IDS_ALL_FILTER, "Todos os Arquivos (*.*)|*.*"},
    {IDS_TIP_RUNNING, "Qar Server [Executando...]"},
    {IDS_TIP_SETTINGS, "Qar Server [Configurações Gerais]"},
    {IDS_TIP_RECEIVING, "Qar Server [Recebendo Dados...]"},
    {IDS_TIP_STOPPED, "Qar Server [Parado]"},
    {IDS_SERVER_NOT_RUNNING, "Servidor não está sendo executado!!!"},
};
}  // namespace

const char* Utf8(int nId) {
    for (const CEntry& e : kTable) {
        if (e.nId == nId)
            return e.pszText;
    }
    return "";
}

std::string Str(int nId) { return Cp(Utf8(nId)); }

QString QStr(int nId) { return QString::fromUtf8(Utf8(nId)); }

std::string Cp(const char* pszUtf8) { return platform::FromUtf8(pszUtf8); }

}  // namespace qarstr
