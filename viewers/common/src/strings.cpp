#include "viewers/common/strings.h"

#include <algorithm>
#include <iterator>

#include "platform/codepage.h"

namespace vstr {
namespace {

struct Entry {
    UINT id;
    const char* utf8;
};

// Sorted by id.
constexpr Entry kTable[] = {
    {IDS_PROPSHT_CAPTION, "Propriedades"},
    {IDS_ERR_INVALID_IP, "Endereço IP inválido !!"},
    {IDS_ERR_CONNECT_TIMEOUT, "Falha ao conectar !!"},
    {IDS_ERR_NO_ID, "Entre com o ID !!"},
    {IDS_ERR_NO_NAME, "Entre com o Nome !!"},
    {IDS_ERR_NO_EXAM, "Selecione o Exame !!"},
    {IDS_LANGUAGE_PROBE, ""},
    {IDS_ERR_NOT_A_NUMBER, "Digite um número inteiro."},
    {IDS_ERR_RANGE, "Digite um número entre %lld e %lld."},
    {IDS_RECORD_FAILED, "Falha ao Gravar!!!"},
    {IDS_NO_IP_ADDRESS, "Sem \"Endereço IP\". Por favor confirme no menu de configurações."},
    {IDS_RECORD_CANCELLED, "Cancelar a gravação !!!"},
    {IDS_EXAM_SAVED, "Exame salvo com sucesso !!!"},
    {IDS_NO_FILE_NAME, "Falha ao criar um nome para o arquivo (*.ekg) !!!"},
    {IDS_CONNECT_FAILED, "Falha ao \"conectar o Terminal\" !!!"},
    {IDS_OPEN_FAILED, "Falha ao abrir o arquivo (*.ekg) !!!"},
    {IDS_RECEIVING, "Recebendo Dados ECG: %.0lf %%"},
    {IDS_STOPPING, "Parando Gravação de ECG..."},
    {IDS_START_RECORDING, "Iniciar Gravação de ECG"},
    {IDS_SIGNAL_NOT_GOOD, "Sinal de ECG ruim. Verifique os eletrodos e grave novamente."},
    {IDS_SAVED_NOT_ANALYSED, "Exame salvo, mas a análise automática não pôde ser executada !!!"},
    {IDS_OPT_INTERPRETATION, "Laudo Automático"},
    {IDS_OPT_MEASUREMENTS, "Parâmetros"},
    {IDS_OPT_COMMENT, "Comentário"},
    {IDS_OPT_PACEMAKER, "Marcapasso"},
};

constexpr bool IsSorted() {
    for (std::size_t i = 1; i < std::size(kTable); ++i)
        if (kTable[i - 1].id >= kTable[i].id)
            return false;
    return true;
}
static_assert(IsSorted(), "the string table is looked up by binary search");

const Entry* Find(UINT nId) {
    const Entry* it = std::lower_bound(std::begin(kTable), std::end(kTable), nId,
                                       [](const Entry& e, UINT id) { return e.id < id; });
    return (it != std::end(kTable) && it->id == nId) ? it : nullptr;
}

}  // namespace

QString QStr(UINT nId) {
    const Entry* e = Find(nId);
    return e ? QString::fromUtf8(e->utf8) : QString();
}

std::string LoadString(UINT nId) {
    return FromQ(QStr(nId));
}

QString ToQ(const std::string& text) {
    std::u16string u = platform::ToUtf16(text);
    return QString::fromUtf16(u.data(), qsizetype(u.size()));
}

std::string FromQ(const QString& text) {
    return platform::FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                                   std::size_t(text.size())));
}

}  // namespace vstr
