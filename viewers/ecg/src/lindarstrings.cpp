#include "lindar/lindarstrings.h"

#include <QString>

#include "platform/codepage.h"

namespace lindar {
namespace {
const char* Utf8(unsigned nID) {
    switch (nID) {
    case IDS_APP_TITLE: return "Lindar";
    case IDS_EXAM_OPEN: return "Exame já está aberto.";
    case IDS_SAVE_OK: return "Gravado com sucesso.";
    case IDS_SAVE_FAILED: return "Falha ao Gravar!!!";
    case IDS_NO_IP: return "Sem \"Endereço IP\". Por favor confirme no menu de configurações.";
    case IDS_CONNECT_FAILED: return "Falha ao \"conectar o Terminal\" !!!";
    case IDS_BAD_FORMAT: return "Formato de arquivo inválido !!!, por favor selecione (*.jpg) ou (*.ekg)";
    // Not in the original table; Pulmetra's text for a failed print.
    case IDS_PRINT_FAILED: return "Erro de Impressão";
    case IDS_FULLSCREEN_NEEDS_EXAM:
        return "Se desejar visualizar [Modo Tela Cheia],\r\n\ndeverá primeiro [Abrir] ou [Gravar].";
    case IDS_OPEN_FAILED: return "Falha ao abrir o arquivo (*.ekg) !!!";
    case IDS_EMPTY_TITLE: return "Vazio";
    case IDS_PRODUCT: return "Qar Daro - Lindar";
    case IDS_COMPANY: return "Corvane Co.,Ltd.";
    // Not in the original table; the bad-signal box names its cause.
    case IDS_BAD_SIGNAL: return "Sinal ruim: monitorização parada.";
    case IDS_BAD_IP: return "Endereço IP inválido !!";
    default: return "";
    }
}
}  // namespace

CString LoadStr(unsigned nID) {
    const QString s = QString::fromUtf8(Utf8(nID));
    return platform::FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(s.utf16()),
                                                   static_cast<std::size_t>(s.size())));
}
}  // namespace lindar
