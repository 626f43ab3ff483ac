#include "pulmetra/appstrings.h"

#include <QString>

#include "platform/codepage.h"

namespace pulmetra {
namespace {
const char* Utf8(unsigned nID) {
    switch (nID) {
        case IDS_SOCKETS_FAILED:
            return "Windows sockets initialization failed.";
        case IDS_APP_TITLE:
            return "Pulmetra";
        case IDS_UNTITLED:
            return "Untitled";
        case IDS_EXAM_OPEN:
            return "Exame já está aberto.";
        case IDS_EXAM_SAVED:
            return "Exame salvo com sucesso.";
        case IDS_OPEN_FAILED:
            return "Falha ao abrir o arquivo Spiro !!!";
        case IDS_UNEXPECTED:
            return "Erro Inesperado !!!";
        case IDS_PRINT_FAILED:
            return "Erro de Impressão";
        case IDS_SAVE_FAILED:
            return "Falha ao Gravar";
        case IDS_OVERWRITE:
            return "%s 파일이 존재합니다. 덮어 쓸까요?";
        case IDS_EMPTY_TITLE:
            return "Empty";
        default:
            return "";
    }
}
}  // namespace

std::string AppStringUtf8(unsigned nID) {
    return Utf8(nID);
}

CString AppString(unsigned nID) {
    const QString s = QString::fromUtf8(Utf8(nID));
    return platform::FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(s.utf16()),
                                                   static_cast<std::size_t>(s.size())));
}
}  // namespace pulmetra
