#pragma once
// Pulmetra's string table by resource id (its ids differ from Lindar's). Texts are kept as
// UTF-8 here and handed out in the installation code page (what crosses the control and the
// notifier) or as QString (what a widget shows).
#include <QString>
#include <string>

#include "platform/wintypes.h"
#include "viewers/common/strings.h"

namespace pmstr {

enum : UINT {
    IDS_NO_EXAM = 65135,           // "Os dados do exame atual não são válidos !"
    IDS_NO_RECORD = 65136,         // "Os dados do exame Qar não é válido!!!"
    IDS_SAVE_FAILED = 65137,       // "Falha ao gravar o arquivo Spiro."
    IDS_SAVED = 65138,             // "Exame salvo com sucesso."
    IDS_OPEN_FAILED = 65139,       // "Falha ao abrir o arquivo Spiro !!!"
    IDS_UNEXPECTED = 65204,        // "Erro Inesperado !!!"
    IDS_PRINT_FAILED = 65205,      // "Erro de Impressão"
    IDS_WRITE_FAILED = 65206,      // "Falha ao Gravar"
    IDS_SAVE_TEXT_OPTION = 65302,  // the save dialog's check box
    IDS_RACE_CAUCASIAN = 65303,
    IDS_RACE_ORIENTAL = 65304,
    IDS_RACE_BLACK = 65305,
    IDS_SMOKER_YES = 65306,
    IDS_SMOKER_NO = 65307,
    IDS_PACK_QUARTER = 65308,
    IDS_PACK_HALF = 65309,
    IDS_PACK_ONE = 65310,
    IDS_PACK_TWO = 65311,
    IDS_PACK_MORE = 65312,
    IDS_SEX_MALE = 65313,
    IDS_SEX_FEMALE = 65314,
};

// The text of the id for a widget; empty for an id that does not exist.
QString QStr(UINT nId);
// The same text in the installation code page.
std::string LoadString(UINT nId);
// Code-page texts to and from widgets: the viewers' vstr::ToQ and vstr::FromQ.
using vstr::FromQ;
using vstr::ToQ;

}  // namespace pmstr
