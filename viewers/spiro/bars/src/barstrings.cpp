#include "pulmetra/bars/barstrings.h"

#include <algorithm>
#include <iterator>

namespace pmstr {
namespace {

struct Entry {
    UINT id;
    const char* utf8;
};

// Sorted by id.
constexpr Entry kTable[] = {
    {IDS_NO_EXAM, "Os dados do exame atual não são válidos !"},
    {IDS_NO_RECORD, "Os dados do exame Qar não é válido!!!"},
    {IDS_SAVE_FAILED, "Falha ao gravar o arquivo Spiro."},
    {IDS_SAVED, "Exame salvo com sucesso."},
    {IDS_OPEN_FAILED, "Falha ao abrir o arquivo Spiro !!!"},
    {IDS_UNEXPECTED, "Erro Inesperado !!!"},
    {IDS_PRINT_FAILED, "Erro de Impressão"},
    {IDS_WRITE_FAILED, "Falha ao Gravar"},
    {IDS_SAVE_TEXT_OPTION, "As Informações serão criadas quando o arquivo JPEG for gravado."},
    {IDS_RACE_CAUCASIAN, "Branco"},
    {IDS_RACE_ORIENTAL, "Oriental"},
    {IDS_RACE_BLACK, "Negro"},
    {IDS_SMOKER_YES, "Sim"},
    {IDS_SMOKER_NO, "Não"},
    {IDS_PACK_QUARTER, "1/4 maço/dia"},
    {IDS_PACK_HALF, "1/2 maço/dia"},
    {IDS_PACK_ONE, "1 maço/dia"},
    {IDS_PACK_TWO, "2 maços/dia"},
    {IDS_PACK_MORE, "Mais de 2 maços/dia"},
    {IDS_SEX_MALE, "Masculino"},
    {IDS_SEX_FEMALE, "Feminino"},
};

constexpr bool IsSorted() {
    for (std::size_t i = 1; i < std::size(kTable); ++i)
        if (kTable[i - 1].id >= kTable[i].id)
            return false;
    return true;
}
static_assert(IsSorted(), "the string table is looked up by binary search");

}  // namespace

QString QStr(UINT nId) {
    const Entry* it = std::lower_bound(std::begin(kTable), std::end(kTable), nId,
                                       [](const Entry& e, UINT id) { return e.id < id; });
    return (it != std::end(kTable) && it->id == nId) ? QString::fromUtf8(it->utf8) : QString();
}

std::string LoadString(UINT nId) {
    return FromQ(QStr(nId));
}

}  // namespace pmstr
