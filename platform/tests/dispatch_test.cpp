#include "platform/dispatch.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>

#include "testsupport/testsupport.h"

using namespace platform;

TEST(Variant, CoercesLikeTheDispatchMachinery) {
    struct {
        Variant in;
        VARTYPE to;
        bool ok;
        Variant out;
    } cases[] = {
        {Variant(std::int32_t(5)), VT_I2, true, Variant(short(5))},
        {Variant(std::int32_t(40000)), VT_I2, false, {}},
        {Variant("  -12 "), VT_I2, true, Variant(short(-12))},
        {Variant("12x"), VT_I2, false, {}},
        {Variant("2.6"), VT_I4, true, Variant(std::int32_t(3))},
        {Variant(2.5), VT_I2, true, Variant(short(2))},  // to nearest even, as the platform rounds
        {Variant("1.5"), VT_R4, true, Variant(1.5f)},
        {Variant(short(0)), VT_BOOL, true, Variant::FromBool(false)},
        {Variant("TRUE"), VT_BOOL, true, Variant::FromBool(true)},
        {Variant::FromBOOL(2), VT_BOOL, true, Variant::FromBOOL(2)},
        {Variant::FromBOOL(-1), VT_I4, true, Variant(std::int32_t(-1))},
        {Variant(std::int32_t(-7)), VT_BSTR, true, Variant("-7")},
        {Variant(), VT_I4, true, Variant(std::int32_t(0))},
        {Variant(), VT_BSTR, true, Variant("")},
        {Variant(1e40), VT_R4, false, {}},
        // Only plain decimal text is a number.
        {Variant("0x10"), VT_I4, false, {}},
        {Variant("inf"), VT_R8, false, {}},
        {Variant("1e3"), VT_I4, true, Variant(std::int32_t(1000))},
        // A float keeps its seven significant digits as text.
        {Variant(1234567.0f), VT_BSTR, true, Variant("1234567")},
        {Variant(0.1f), VT_BSTR, true, Variant("0.1")},
        {Variant(98.76543f), VT_BSTR, true, Variant("98.76543")},
    };
    for (const auto& c : cases) {
        Variant out;
        EXPECT_EQ(c.in.ChangeType(c.to, out), c.ok) << c.in.Display() << " -> " << VarTypeName(c.to);
        if (c.ok) {
            EXPECT_TRUE(out == c.out) << c.in.Display() << " gave " << out.Display();
        }
    }
    EXPECT_EQ(Variant::FromBool(true).Display(), "TRUE");
    EXPECT_EQ(Variant(1.25f).Display(), "1.25");
}

class Sink : public IEventSink {
public:
    void OnEvent(DISPID id, const std::vector<Variant>& args) override { events.push_back({id, args}); }
    std::vector<std::pair<DISPID, std::vector<Variant>>> events;
};

class Dispatch : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "dispatch_test";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance()) new QApplication(argc, argv);
    }
    testsupport::CTempDir m_dir;
    testsupport::CEnvScope m_cfg{"XDG_CONFIG_HOME", m_dir.Path().c_str()};

    static HRESULT CallEntry(const char* entry) {
        void* lib = dlopen(TESTCONTROL_PATH, RTLD_NOW | RTLD_LOCAL);
        if (!lib) return -1;
        auto fn = reinterpret_cast<RegisterFn>(dlsym(lib, entry));
        return fn ? fn() : -1;
    }
};

TEST_F(Dispatch, RegisterCreateInvokeAndEvents) {
    std::string err;
    EXPECT_EQ(CreateControl("CORVANE.TestCtrl.1", nullptr, &err), nullptr);
    EXPECT_NE(err.find("not registered"), std::string::npos);

    ASSERT_EQ(CallEntry(kRegisterEntry), S_OK);
    ControlRegistration reg;
    ASSERT_TRUE(FindControl("{00000000-1111-2222-3333-444444444444}", reg));
    EXPECT_EQ(reg.progid, "CORVANE.TestCtrl.1");

    QWidget host;
    auto ctl = CreateControl("corvane.testctrl.1", &host, &err);
    ASSERT_NE(ctl, nullptr) << err;
    EXPECT_EQ(ctl->Widget()->parentWidget(), &host);

    Variant r;
    EXPECT_EQ(ctl->Invoke(1, {Variant(std::int32_t(2)), Variant("3")}, &r), DISP_OK);
    EXPECT_TRUE(r == Variant(short(5)));
    EXPECT_EQ(ctl->InvokeByName("echo", {Variant("x")}, &r), DISP_OK);
    EXPECT_EQ(r.AsText(), "echo:x");
    EXPECT_EQ(ctl->Invoke(4, {Variant(short(0))}, &r), DISP_OK);
    EXPECT_TRUE(r == Variant::FromBool(true));
    EXPECT_EQ(ctl->Invoke(5, {Variant(short(3))}, &r), DISP_OK);
    EXPECT_TRUE(r == Variant(1.5f));

    EXPECT_EQ(ctl->Invoke(99, {}, &r), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(ctl->Invoke(1, {Variant(short(1))}, &r), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(ctl->Invoke(1, {Variant("a"), Variant(short(1))}, &r), DISP_E_TYPEMISMATCH);

    // A property: read with no argument, written with one of its type.
    EXPECT_EQ(ctl->Invoke(6, {}, &r), DISP_OK);
    EXPECT_TRUE(r == Variant(short(0)));
    EXPECT_EQ(ctl->Invoke(6, {Variant("31")}, &r), DISP_OK);
    EXPECT_TRUE(r.IsEmpty());
    EXPECT_EQ(ctl->InvokeByName("level", {}, &r), DISP_OK);
    EXPECT_TRUE(r == Variant(short(31)));
    EXPECT_EQ(ctl->Invoke(6, {Variant(short(1)), Variant(short(2))}, &r), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(ctl->Invoke(6, {Variant("many")}, &r), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(ctl->Invoke(6, {Variant(std::int32_t(70000))}, &r), DISP_E_TYPEMISMATCH);
    bool bProperty = false;
    ASSERT_NE(ctl->FindMember(6, &bProperty), nullptr);
    EXPECT_TRUE(bProperty);
    ASSERT_NE(ctl->FindMemberByName("HALF", &bProperty), nullptr);
    EXPECT_FALSE(bProperty);

    Sink sink;
    EXPECT_EQ(ctl->Invoke(3, {Variant(short(7))}, nullptr), DISP_OK);  // no sink yet: nothing
    ctl->SetEventSink(&sink);
    EXPECT_EQ(ctl->Invoke(3, {Variant(short(7))}, nullptr), DISP_OK);
    ASSERT_EQ(sink.events.size(), 1u);
    EXPECT_EQ(sink.events[0].first, 1);
    EXPECT_TRUE(sink.events[0].second[0] == Variant(std::int32_t(7)));
    EXPECT_TRUE(sink.events[0].second[1] == Variant(2.5f));  // coerced to the event's float
    ctl.reset();

    ASSERT_EQ(CallEntry(kUnregisterEntry), S_OK);
    EXPECT_FALSE(FindControl("CORVANE.TestCtrl.1", reg));
}

TEST_F(Dispatch, AControlOutlivesItsParentWindow) {
    ASSERT_EQ(CallEntry(kRegisterEntry), S_OK);
    auto host = std::make_unique<QWidget>();
    auto ctl = CreateControl("CORVANE.TestCtrl.1", host.get());
    ASSERT_NE(ctl, nullptr);
    host.reset();
    EXPECT_EQ(ctl->Widget(), nullptr);
    Variant r;
    EXPECT_EQ(ctl->Invoke(1, {Variant(short(1)), Variant(short(2))}, &r), DISP_OK);
    ctl.reset();
}

TEST_F(Dispatch, BrokenRegistrationsFailCleanly) {
    ASSERT_TRUE(RegisterControl({"X.Missing.1", "{1}", m_dir / "nolib.so"}));
    std::string err;
    EXPECT_EQ(CreateControl("X.Missing.1", nullptr, &err), nullptr);
    EXPECT_NE(err.find("cannot load"), std::string::npos);
    EXPECT_FALSE(RegisterControl({"", "{1}", "/x.so"}));
}
