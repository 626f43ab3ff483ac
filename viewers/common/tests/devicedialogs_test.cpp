// Device selection and the settings dialog over a stand-in of the control's finder, and
// the address and identifier checks.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "ecg_control/host/wavelin.h"
#include "ecg_control/wavelin_dispids.h"
#include "oxuctrl/oxuctrl.h"
#include "platform/notifier.h"
#include "testsupport/qtapp.h"
#include "testsupport/testsupport.h"
#include "viewers/common/devicedialogs.h"
#include "viewers/common/ipcheck.h"

using platform::Variant;

namespace {

::testing::Environment* const kApp =
    ::testing::AddGlobalTestEnvironment(new testsupport::CWidgetAppEnvironment);

struct Device {
    std::string info, id, ip;
};

// The finder members of the control: a search makes the next list visible.
class CFinderControl : public platform::CDispatchControl {
public:
    std::vector<Device> found, afterSearch;
    std::vector<short> searches;
    const platform::DispInterface& Methods() const override { return wavelin::MethodInterface(); }
    const platform::DispInterface& Events() const override { return wavelin::EventInterface(); }
    platform::DispResult Invoke(platform::DISPID id, const std::vector<Variant>& a,
                                Variant* r) override {
        auto at = [&](auto member) {
            const short i = a.at(0).AsShort();
            return (i >= 0 && size_t(i) < found.size()) ? found[size_t(i)].*member : std::string();
        };
        switch (id) {
            case wavelin::DISPID_EKGGetConnectedEKGCnt:
                *r = Variant(short(found.size()));
                break;
            case wavelin::DISPID_EKGGetConnectedEKGInfo:
                *r = Variant(at(&Device::info));
                break;
            case wavelin::DISPID_EKGGetConnectedEKGID:
                *r = Variant(at(&Device::id));
                break;
            case wavelin::DISPID_EKGGetConnectedEKGIP:
                *r = Variant(at(&Device::ip));
                break;
            case wavelin::DISPID_EKGConnectedSearch:
                searches.push_back(a.at(0).AsShort());
                found = afterSearch;
                *r = Variant(short(1));
                break;
            default:
                break;
        }
        return platform::DISP_OK;
    }
    void SetEventSink(platform::IEventSink*) override {}
    QWidget* Widget() override { return nullptr; }
};

struct Env {
    testsupport::CTempDir home;
    CWavelin wavelin;
    CFinderControl* finder;
    std::unique_ptr<CViewerIni> ini;
    Env() {
        ::setenv("CORVANE_HOME", home.Path().c_str(), 1);
        auto p = std::make_unique<CFinderControl>();
        finder = p.get();
        wavelin.Attach(std::move(p));
        ini = std::make_unique<CViewerIni>("Lindar");
    }
    ~Env() { ::unsetenv("CORVANE_HOME"); }
    std::string Key(const char* k) { return ini->GetString(kEkgView, k, "<none>"); }
};

const std::vector<Device> kTwo = {{"Cart A (10)", "10", "127.0.0.1"}, {"Cart B (11)", "11", ""}};

TEST(IpCheck, AddressesAsATable) {
    struct {
        const char* text;
        BOOL ok;
    } cases[] = {{"192.168.0.256", FALSE}, {"1.2.3.4", TRUE},     {"1.2..34", FALSE},
                 {"1.2.3.4.", FALSE},      {"", FALSE},           {"255.255.255.255", TRUE},
                 {"1.2.3", FALSE},         {"1.2.3.1234", FALSE}, {"1.2.3.a", FALSE},
                 {".1.2.3", FALSE},        {"127.0.0.1", TRUE},   {"1.2.3.4 ", FALSE}};
    for (const auto& c : cases)
        EXPECT_EQ(IsValidIPAddress(c.text), c.ok) << c.text;
}

TEST(IpCheck, IdentifierFilterAsATable) {
    struct {
        const char* text;
        int grown;
        const char* expected;
    } cases[] = {{"A-1.2", 1, "A12"},         {"ab*c", 1, "abc"}, {"x\"y'z", 1, "xyz"},
                 {"ok_(1)~`", 1, "ok_(1)~`"}, {"a\xE9", 1, "a"},  {"ab\xC3\xA9", 2, "ab"},
                 {"a/b\\c|d?", 1, "abcd"},    {"a b", 1, "a b"},  {"a\tb", 1, "ab"}};
    for (const auto& c : cases)
        EXPECT_EQ(FilterIdentifier(c.text, c.grown), c.expected) << c.text;
}

TEST(DeviceSelect, NoneThenDescriptionsAndTheKeysOnOk) {
    struct {
        int pick;
        const char* ip;
        const char* id;
    } cases[] = {{0, "", ""}, {1, "127.0.0.1", "10"}, {2, "", ""}};
    for (const auto& c : cases) {
        Env env;
        env.finder->found = kTwo;
        CDeviceSelectDialog dlg(env.wavelin, *env.ini);
        auto* list = dlg.findChild<CExComboBox*>("4105");
        ASSERT_NE(list, nullptr);
        ASSERT_EQ(list->count(), 3);
        EXPECT_EQ(list->itemText(0), "NONE");
        EXPECT_EQ(list->itemText(1), "Cart A (10)");
        EXPECT_EQ(list->currentIndex(), 0);
        EXPECT_EQ(list->palette().color(QPalette::Base), QColor(0xEE, 0xEE, 0xFF));
        list->setCurrentIndex(c.pick);
        dlg.accept();
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        EXPECT_EQ(env.Key("EKG_TERMINAL_IP"), c.ip) << c.pick;
        EXPECT_EQ(env.Key("EKG_REGISTERED_ID"), c.id) << c.pick;
    }
}

TEST(DeviceSelect, CancelWritesNothing) {
    Env env;
    env.finder->found = kTwo;
    CDeviceSelectDialog dlg(env.wavelin, *env.ini);
    dlg.reject();
    EXPECT_EQ(env.Key("EKG_TERMINAL_IP"), "<none>");
}

TEST(Settings, ARegisteredIdNotFoundIsOfferedAndKeptWithAnEmptyAddress) {
    Env env;
    env.ini->WriteString(kEkgView, "EKG_CONFIG_IP_TYPE", "0");
    env.ini->WriteString(kEkgView, "EKG_REGISTERED_ID", "77");
    env.finder->found = kTwo;
    CLindarSettingsDialog dlg(env.wavelin, *env.ini);
    auto* list = dlg.findChild<CExComboBox*>("1093");
    ASSERT_EQ(list->count(), 4);
    EXPECT_EQ(list->itemText(0), "NONE");
    EXPECT_EQ(list->itemText(1), "0.0.0.0:77");
    EXPECT_EQ(list->itemText(2), "Cart A (10)");
    EXPECT_EQ(list->currentIndex(), 1);
    EXPECT_FALSE(dlg.findChild<CExEdit*>("1041")->isEnabled());
    dlg.accept();
    EXPECT_EQ(env.Key("EKG_TERMINAL_IP"), "");
    EXPECT_EQ(env.Key("EKG_REGISTERED_ID"), "77");
    EXPECT_EQ(env.Key("EKG_CONFIG_IP_TYPE"), "0");
}

TEST(Settings, ChoosingAFoundDeviceWritesItsAddressAndId) {
    Env env;
    env.ini->WriteString(kEkgView, "EKG_CONFIG_IP_TYPE", "0");
    env.ini->WriteString(kEkgView, "EKG_REGISTERED_ID", "77");
    env.finder->found = kTwo;
    CLindarSettingsDialog dlg(env.wavelin, *env.ini);
    dlg.findChild<CExComboBox*>("1093")->setCurrentIndex(2);  // Cart A behind the not-found entry
    dlg.accept();
    EXPECT_EQ(env.Key("EKG_TERMINAL_IP"), "127.0.0.1");
    EXPECT_EQ(env.Key("EKG_REGISTERED_ID"), "10");
}

TEST(Settings, FixedAddressAndEveryKeyWrittenOnOk) {
    Env env;
    env.ini->WriteString(kEkgView, "EKG_CONFIG_IP_TYPE", "7");  // counts as fixed
    env.ini->WriteString(kEkgView, "EKG_TERMINAL_IP", "10.0.0.2");
    env.ini->WriteString(kEkgView, "DISP_FULL_SIZE", "999 x 1");
    env.ini->WriteString(kEkgView, "SAVE_COMMENT", "0");
    CLindarSettingsDialog dlg(env.wavelin, *env.ini);
    EXPECT_TRUE(dlg.findChild<QRadioButton*>("4103")->isChecked());
    EXPECT_EQ(dlg.findChild<CExEdit*>("1041")->text(), "10.0.0.2");
    EXPECT_FALSE(dlg.findChild<CExComboBox*>("1093")->isEnabled());
    EXPECT_FALSE(dlg.findChild<QPushButton*>("4104")->isEnabled());
    EXPECT_EQ(dlg.findChild<CExComboBox*>("4106")->currentText(), " 3 sec");
    EXPECT_EQ(dlg.findChild<CExComboBox*>("1091")->currentText(), "800 x 600");
    EXPECT_EQ(dlg.findChild<CExComboBox*>("1092")->currentIndex(), -1);  // no match
    EXPECT_EQ(dlg.findChild<CExComboBox*>("4085")->currentText(), "1280 * 960");
    const std::string pcdata = env.home.Path() + "Lindar/PCData";
    EXPECT_EQ(dlg.findChild<CExEdit*>("1033")->text().toStdString(), pcdata);
    EXPECT_TRUE(testsupport::Exists(pcdata));
    dlg.findChild<CExComboBox*>("1092")->setCurrentIndex(1);
    dlg.findChild<QRadioButton*>("4101")->setChecked(true);
    dlg.findChild<CExEdit*>("1042")->setText("Dr. Silva");
    dlg.findChild<CExEdit*>("1043")->setText("Hospital Central");
    dlg.accept();
    EXPECT_EQ(env.Key("EKG_CONFIG_IP_TYPE"), "1");
    EXPECT_EQ(env.Key("EKG_TERMINAL_IP"), "10.0.0.2");
    EXPECT_EQ(env.Key("DISP_DEFAULT_SIZE"), "800 x 600");
    EXPECT_EQ(env.Key("DISP_FULL_SIZE"), "1024 x 768");
    EXPECT_EQ(env.Key("JPEG_SIZE"), "3");
    EXPECT_EQ(env.Key("DICOM TYPE"), "1");
    EXPECT_EQ(env.Key("SAVE_COMMENT"), "0");
    EXPECT_EQ(env.Key("RECSAVE_FOLDER"), pcdata);
    EXPECT_EQ(env.Key("EKG_DOCTOR"), "Dr. Silva");
    EXPECT_EQ(env.Key("EKG_HOSPITAL"), "Hospital Central");
    // The file is <Program>.ini in the program's home folder.
    EXPECT_EQ(env.ini->Path(), env.home.Path() + "Lindar/Lindar.ini");
}

TEST(Settings, AnInvalidAddressKeepsTheDialogOpen) {
    Env env;
    testsupport::CScriptedNotifier notifier;
    CLindarSettingsDialog dlg(env.wavelin, *env.ini);
    dlg.findChild<CExEdit*>("1041")->setText("1.2..34");
    dlg.accept();
    ASSERT_EQ(notifier.calls.size(), 1u);
    EXPECT_EQ(notifier.calls[0].text, "Endere\xE7o IP inv\xE1lido !!");
    EXPECT_EQ(notifier.calls[0].type & platform::MB_ICONERROR, unsigned(platform::MB_ICONERROR));
    EXPECT_NE(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(env.Key("EKG_CONFIG_IP_TYPE"), "<none>");
    dlg.findChild<CExEdit*>("1041")->clear();  // an empty address is accepted
    dlg.accept();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
}

TEST(Settings, SearchFindingNothingLeavesTheListDisabledAndFindingFillsIt) {
    Env env;
    CLindarSettingsDialog dlg(env.wavelin, *env.ini);
    dlg.findChild<QRadioButton*>("4102")->click();
    auto* list = dlg.findChild<CExComboBox*>("1093");
    EXPECT_TRUE(list->isEnabled());
    EXPECT_FALSE(dlg.findChild<CExEdit*>("1041")->isEnabled());
    dlg.findChild<CExComboBox*>("4106")->setCurrentIndex(4);
    dlg.OnSearch();
    EXPECT_EQ(env.finder->searches, std::vector<short>{5000});
    EXPECT_FALSE(list->isEnabled());
    env.finder->afterSearch = kTwo;
    dlg.OnSearch();
    EXPECT_TRUE(list->isEnabled());
    EXPECT_EQ(list->count(), 3);
    dlg.findChild<QRadioButton*>("4103")->click();
    EXPECT_FALSE(list->isEnabled());
    EXPECT_TRUE(dlg.findChild<CExEdit*>("1041")->isEnabled());
}

}  // namespace
