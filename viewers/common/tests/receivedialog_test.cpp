// The receive dialog over a stand-in control that the test drives by its events: each
// failure row gives its message and Cancel; a record is called saved only when its file is.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "ecg_control/wavelin_dispids.h"
#include "testsupport/qtapp.h"
#include "testsupport/testsupport.h"
#include "viewers/common/receivedialog.h"
#include "viewers/common/strings.h"

using platform::Variant;

namespace {

::testing::Environment* const kApp =
    ::testing::AddGlobalTestEnvironment(new testsupport::CWidgetAppEnvironment);

class CCartControl : public platform::CDispatchControl {
public:
    bool bStarts = true;
    bool bWritesFile = true;
    std::string patientId = "4711";
    std::vector<std::pair<platform::DISPID, std::vector<Variant>>> calls;
    platform::IEventSink* sink = nullptr;

    const platform::DispInterface& Methods() const override { return wavelin::MethodInterface(); }
    const platform::DispInterface& Events() const override { return wavelin::EventInterface(); }
    platform::DispResult Invoke(platform::DISPID id, const std::vector<Variant>& a,
                                Variant* r) override {
        calls.emplace_back(id, a);
        switch (id) {
            case wavelin::DISPID_EKGStartRecording:
                *r = Variant::FromBool(bStarts);
                break;
            case wavelin::DISPID_EKGGetPatientInfo:
                *r = Variant(patientId);
                break;
            case wavelin::DISPID_EKGSaveFile:
                *r = Variant::FromBool(bWritesFile &&
                                       testsupport::WriteFile(a.at(0).AsText(), "EKG"));
                break;
            default:
                break;
        }
        return platform::DISP_OK;
    }
    void SetEventSink(platform::IEventSink* p) override { sink = p; }
    QWidget* Widget() override { return nullptr; }
    void Fire(platform::DISPID id, std::vector<Variant> a = {}) { sink->OnEvent(id, a); }
    const std::vector<Variant>* Last(platform::DISPID id) const {
        for (auto it = calls.rbegin(); it != calls.rend(); ++it)
            if (it->first == id)
                return &it->second;
        return nullptr;
    }
};

std::time_t FixedTime() {
    std::tm t{};
    t.tm_year = 2024 - 1900;
    t.tm_mon = 0;
    t.tm_mday = 2;
    t.tm_hour = 3;
    t.tm_min = 4;
    t.tm_sec = 5;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

struct Env {
    testsupport::CTempDir home;
    testsupport::CScriptedNotifier notifier;
    std::unique_ptr<CViewerIni> ini;
    std::unique_ptr<CCartControl> spare;  // the control until the dialog takes it
    std::unique_ptr<CEcgReceiveDialog> dlg;
    CCartControl* cart = nullptr;
    std::unique_ptr<QSignalSpy> finished;
    Env() {
        ::setenv("CORVANE_HOME", home.Path().c_str(), 1);
        ini = std::make_unique<CViewerIni>("Lindar");
    }
    ~Env() {
        dlg.reset();
        ::unsetenv("CORVANE_HOME");
    }
    void Open(bool bControl = true, bool bStarts = true) {
        dlg = std::make_unique<CEcgReceiveDialog>(*ini);
        finished = std::make_unique<QSignalSpy>(dlg.get(), &QDialog::finished);
        spare = std::make_unique<CCartControl>();
        spare->bStarts = bStarts;
        cart = spare.get();
        dlg->SetControlFactory([this, bControl](CWavelin& w, QWidget*) {
            if (!bControl)
                return false;
            w.Attach(std::move(spare), CEcgReceiveDialog::IDC_CONTROL);
            return true;
        });
        dlg->SetClock(FixedTime);
        dlg->Start();
    }
    // The dialog's end: 1 OK, 0 Cancel, -1 still open.
    int Result() {
        testsupport::ProcessUntil([&] { return finished->count() > 0; }, 1000);
        return finished->count() ? finished->at(0).at(0).toInt() : -1;
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> t;
        for (const auto& c : notifier.calls)
            t.push_back(c.text);
        return t;
    }
};

TEST(ReceiveDialog, WithoutAnAddressItClosesWithTheReasonAsATable) {
    struct {
        const char* type;
        const char* id;
        const char* message;
    } cases[] = {
        {nullptr, "",
         "Sem \"Endere\xE7o IP\". Por favor confirme no menu de configura\xE7\xF5"
         "es."},
        {"7", "",
         "Sem \"Endere\xE7o IP\". Por favor confirme no menu de configura\xE7\xF5"
         "es."},
        {"0", "12", "Falha ao \"conectar o Terminal\" !!!"},
        {"0", "", "Not Registered equipment"},
    };
    for (const auto& c : cases) {
        Env env;
        if (c.type)
            env.ini->WriteString(kEkgView, "EKG_CONFIG_IP_TYPE", c.type);
        env.ini->WriteString(kEkgView, "EKG_REGISTERED_ID", c.id);
        env.Open();
        EXPECT_EQ(env.Result(), 0);
        EXPECT_EQ(env.Texts(), std::vector<std::string>{c.message});
        EXPECT_TRUE(env.cart->calls.empty());  // nothing recorded
    }
}

TEST(ReceiveDialog, RecordsAndSavesInTheFolderWithDoctorAndHospital) {
    Env env;
    env.ini->WriteString(kEkgView, "EKG_TERMINAL_IP", "127.0.0.1");
    env.ini->WriteString(kEkgView, "EKG_DOCTOR", "Dr. Silva");
    env.ini->WriteString(kEkgView, "EKG_HOSPITAL", "Central");
    env.Open();
    const auto* start = env.cart->Last(wavelin::DISPID_EKGStartRecording);
    ASSERT_NE(start, nullptr);
    EXPECT_EQ(start->at(0).AsText(), "127.0.0.1");
    EXPECT_EQ(start->at(1).AsShort(), 3000);
    const auto* filter = env.cart->Last(wavelin::DISPID_EKGSetFilterInfo);
    ASSERT_NE(filter, nullptr);
    EXPECT_EQ(filter->at(0).AsShort() * 1000 + filter->at(1).AsShort() * 100 +
                  filter->at(2).AsShort() * 10 + filter->at(3).AsShort(),
              2310);
    EXPECT_EQ(env.cart->Last(wavelin::DISPID_EKGSetLanguage)->at(0).AsShort(), 11);
    EXPECT_EQ(env.dlg->Message().toStdString(), "Iniciar Grava\xC3\xA7\xC3\xA3o de ECG");
    env.cart->Fire(wavelin::EVENTID_EKGConnected, {Variant(short(0)), Variant(short(0))});
    env.cart->Fire(wavelin::EVENTID_EKGRecordReceiving, {Variant(42.6f)});
    EXPECT_EQ(env.dlg->Progress(), 42);
    EXPECT_EQ(env.dlg->Message(), "Recebendo Dados ECG: 43 %");
    env.cart->Fire(wavelin::EVENTID_EKGRecordCompleted);
    EXPECT_EQ(env.Result(), 1);
    const std::string expected = env.home.Path() + "Lindar/PCData/4711_20240102030405.ekg";
    EXPECT_EQ(env.dlg->SavedPath(), expected);
    EXPECT_TRUE(testsupport::Exists(expected));
    EXPECT_EQ(env.Texts(), std::vector<std::string>{"Exame salvo com sucesso !!!"});
    std::vector<std::string> misc;
    for (const auto& c : env.cart->calls)
        if (c.first == wavelin::DISPID_EKGSetMisc)
            misc.push_back(std::to_string(c.second.at(0).AsShort()) + "=" +
                           c.second.at(1).AsText());
    EXPECT_EQ(misc, (std::vector<std::string>{"0=Dr. Silva", "1=Central"}));
}

TEST(ReceiveDialog, FailuresGiveTheirMessageAndCancelAsATable) {
    struct Case {
        const char* name;
        bool bStarts;
        bool bFolderIsAFile;
        std::function<void(Env&)> drive;  // after the start
        std::vector<std::string> messages;
    } cases[] = {
        {"start refused", false, false, [](Env&) {}, {"Falha ao \"conectar o Terminal\" !!!"}},
        {"connect failed",
         true,
         false,
         [](Env& e) {
             e.cart->Fire(wavelin::EVENTID_EKGConnected,
                          {Variant(short(10061)), Variant(short(-1))});
         },
         {"Falha ao \"conectar o Terminal\" !!!"}},
        {"record failed",
         true,
         false,
         [](Env& e) { e.cart->Fire(wavelin::EVENTID_EKGRecordFail, {Variant(short(1))}); },
         {"Falha ao Gravar!!!"}},
        {"signal not good",
         true,
         false,
         [](Env& e) { e.cart->Fire(wavelin::EVENTID_RecordSignalNotGood); },
         {"Sinal de ECG ruim. Verifique os eletrodos e grave novamente."}},
        {"save refused",
         true,
         false,
         [](Env& e) {
             e.cart->bWritesFile = false;
             e.cart->Fire(wavelin::EVENTID_EKGRecordCompleted);
         },
         {"Falha ao Gravar!!!"}},
        {"save folder is a file",
         true,
         true,
         [](Env& e) { e.cart->Fire(wavelin::EVENTID_EKGRecordCompleted); },
         {"Falha ao criar um nome para o arquivo (*.ekg) !!!"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Env env;
        env.ini->WriteString(kEkgView, "EKG_TERMINAL_IP", "127.0.0.1");
        if (c.bFolderIsAFile) {
            testsupport::WriteFile(env.home / "afile", "x");
            env.ini->WriteString(kEkgView, "RECSAVE_FOLDER", env.home / "afile");
        }
        env.Open(true, c.bStarts);
        c.drive(env);
        EXPECT_EQ(env.Result(), 0);
        EXPECT_EQ(env.Texts(), c.messages);
        EXPECT_EQ(env.dlg->SavedPath(), "");
        EXPECT_EQ(env.cart->Last(wavelin::DISPID_EKGSaveFile) != nullptr,
                  std::string(c.name) == "save refused");
    }
}

// A recording the control kept unanalysed (EKGRecordFail 2) is saved as a completed one
// would be, with the user told that the analysis did not run; an engine failure (1) is not.
TEST(ReceiveDialog, AKeptRecordingIsSavedWithoutItsAnalysisAsATable) {
    struct Case {
        const char* name;
        short nCode;
        bool bCancelFirst, bWrites;
        int nResult;
        std::vector<std::string> messages;
    } cases[] = {
        {"kept", 2, false, true, 1, {vstr::LoadString(vstr::IDS_SAVED_NOT_ANALYSED)}},
        {"kept, save refused", 2, false, false, 0, {"Falha ao Gravar!!!"}},
        {"kept after cancel", 2, true, true, 0, {"Cancelar a grava\xE7\xE3o !!!"}},
        {"engine failed", 1, false, true, 0, {"Falha ao Gravar!!!"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Env env;
        env.ini->WriteString(kEkgView, "EKG_TERMINAL_IP", "127.0.0.1");
        env.ini->WriteString(kEkgView, "EKG_DOCTOR", "Dr. Silva");
        env.Open();
        if (c.bCancelFirst)
            env.dlg->reject();
        env.cart->bWritesFile = c.bWrites;
        env.cart->Fire(wavelin::EVENTID_EKGRecordFail, {Variant(c.nCode)});
        EXPECT_EQ(env.Result(), c.nResult);
        EXPECT_EQ(env.Texts(), c.messages);
        const std::string expected = env.home.Path() + "Lindar/PCData/4711_20240102030405.ekg";
        EXPECT_EQ(env.dlg->SavedPath(), c.nResult == 1 ? expected : "");
        EXPECT_EQ(testsupport::Exists(expected), c.nResult == 1);
        const auto* misc = env.cart->Last(wavelin::DISPID_EKGSetMisc);
        EXPECT_EQ(misc != nullptr, c.nCode == 2 && !c.bCancelFirst);
    }
}

TEST(ReceiveDialog, ARecordCompletedAfterCancelIsNotSaved) {
    Env env;
    env.ini->WriteString(kEkgView, "EKG_TERMINAL_IP", "127.0.0.1");
    env.Open();
    env.dlg->reject();
    EXPECT_EQ(env.dlg->Message().toStdString(), "Parando Grava\xC3\xA7\xC3\xA3o de ECG...");
    env.cart->Fire(wavelin::EVENTID_EKGRecordCompleted);
    EXPECT_EQ(env.Result(), 0);
    EXPECT_EQ(env.Texts(), std::vector<std::string>{"Cancelar a grava\xE7\xE3o !!!"});
    EXPECT_EQ(env.cart->Last(wavelin::DISPID_EKGSaveFile), nullptr);
}

TEST(ReceiveDialog, TheDevicesIdStaysInTheFolder) {
    Env env;
    env.ini->WriteString(kEkgView, "EKG_TERMINAL_IP", "127.0.0.1");
    env.Open();
    env.cart->patientId = "../../x";
    env.cart->Fire(wavelin::EVENTID_EKGRecordCompleted);
    EXPECT_EQ(env.Result(), 1);
    const std::string folder = env.home.Path() + "Lindar/PCData/";
    EXPECT_EQ(env.dlg->SavedPath(), folder + "..!..!x_20240102030405.ekg");
    EXPECT_TRUE(testsupport::Exists(env.dlg->SavedPath()));
    EXPECT_FALSE(testsupport::Exists(env.home.Path() + "x_20240102030405.ekg"));
}

TEST(ReceiveDialog, NoControlLeavesTheDialogForCancel) {
    Env env;
    env.ini->WriteString(kEkgView, "EKG_TERMINAL_IP", "127.0.0.1");
    env.Open(false);
    EXPECT_EQ(env.Result(), -1);
    env.dlg->reject();
    EXPECT_EQ(env.Result(), 0);
    EXPECT_TRUE(env.Texts().empty());
}

TEST(ReceiveDialog, SocketTextsLanguageAndSafeNames) {
    EXPECT_EQ(SocketErrorText(10061), "The attempt to connect was forcefully rejected");
    EXPECT_EQ(SocketErrorText(10060),
              "The attempt to connect timed out without establishing a connection");
    EXPECT_EQ(SocketErrorText(0), "");
    EXPECT_EQ(SocketErrorText(12345), "");
    EXPECT_EQ(LanguageIndex(), 11);
    EXPECT_EQ(SafeNamePart("a/b\\c:d*e?f\"g<h>i|j"), "a!b!c!d!e!f!g!h!i!j");
    EXPECT_EQ(SafeNamePart(".."), "!!");
    EXPECT_EQ(SafeNamePart("a\tb"), "ab");
}

}  // namespace
