// dispcall: loads a control by ProgID and calls it by dispatch identifier or name.
//   dispcall [-w ms] <ProgID> 'Name(arg, arg, ...)' '#27(arg, ...)' ...
// Arguments are texts that the control's table converts to the declared types; a prefix
// s: l: f: d: b: t: gives the type explicitly (short, long, float, double, BOOL, text).
// "..." keeps commas and blanks inside one argument. Prints one line per call and one
// per event received; -w keeps the event loop running that long after the last call.
// A property is read as 'Name()' and written as 'Name(value)'.
// A step '@wait(EventName, ms)' runs the event loop until that event has come (one not yet
// waited for) or ms have passed, and prints "wait EventName" or "wait EventName: timeout"
// (a failure); '@wait(ms)' runs the event loop for ms.
#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/dispatch.h"
#include "platform/qtmsgpump.h"

using namespace platform;

namespace {

class CPrintSink : public IEventSink {
public:
    explicit CPrintSink(const DispInterface& events) : m_events(events) {}
    void OnEvent(DISPID id, const std::vector<Variant>& args) override {
        const DispMember* m = m_events.Find(id);
        std::string line = std::string("event ") + (m ? m->name : std::to_string(id)) + "(";
        for (size_t i = 0; i < args.size(); ++i) line += (i ? ", " : "") + args[i].Display();
        std::printf("%s)\n", line.c_str());
        std::fflush(stdout);
        if (m) ++m_unclaimed[m->name];
    }
    // TRUE (and the event claimed) when it came and was not waited for yet.
    bool Claim(const std::string& name) {
        auto it = m_unclaimed.find(name);
        if (it == m_unclaimed.end() || it->second == 0) return false;
        --it->second;
        return true;
    }

private:
    std::map<std::string, int> m_unclaimed;
    const DispInterface& m_events;
};

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

Variant ParseArg(const std::string& raw, bool bQuoted) {
    if (!bQuoted && raw.size() >= 2 && raw[1] == ':') {
        std::string v = raw.substr(2);
        switch (raw[0]) {
            case 's': return Variant(static_cast<short>(std::atoi(v.c_str())));
            case 'l': return Variant(static_cast<std::int32_t>(std::atol(v.c_str())));
            case 'f': return Variant(std::strtof(v.c_str(), nullptr));
            case 'd': return Variant(std::strtod(v.c_str(), nullptr));
            case 'b': return Variant::FromBool(v == "1" || v == "TRUE" || v == "true");
            case 't': return Variant(v);
        }
    }
    return Variant(raw);
}

// "Name(a, b)" -> name and arguments; FALSE when malformed.
bool ParseCall(const std::string& call, std::string& name, std::vector<Variant>& args) {
    size_t open = call.find('(');
    if (open == std::string::npos || call.back() != ')') return false;
    name = Trim(call.substr(0, open));
    std::string inner = call.substr(open + 1, call.size() - open - 2);
    args.clear();
    if (Trim(inner).empty()) return !name.empty();
    std::string cur;
    bool bQuote = false, bWasQuoted = false;
    for (size_t i = 0; i <= inner.size(); ++i) {
        char c = i < inner.size() ? inner[i] : ',';
        if (c == '"') {
            bQuote = !bQuote;
            bWasQuoted = true;
        } else if (c == ',' && !bQuote) {
            args.push_back(ParseArg(bWasQuoted ? cur : Trim(cur), bWasQuoted));
            cur.clear();
            bWasQuoted = false;
        } else {
            cur.push_back(c);
        }
    }
    return !name.empty() && !bQuote;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    platform::InstallQtMessagePump();
    int nWaitMs = 0;
    int i = 1;
    if (i + 1 < argc && std::strcmp(argv[i], "-w") == 0) {
        nWaitMs = std::atoi(argv[i + 1]);
        i += 2;
    }
    if (i >= argc) {
        std::fprintf(stderr, "usage: dispcall [-w ms] <ProgID> 'Name(args)' ...\n");
        return 2;
    }
    std::string progid = argv[i++];
    QWidget host;
    host.resize(1000, 700);
    std::string err;
    auto ctl = CreateControl(progid, &host, &err);
    if (!ctl) {
        std::fprintf(stderr, "dispcall: %s\n", err.c_str());
        return 1;
    }
    if (QWidget* w = ctl->Widget()) w->resize(host.size());
    CPrintSink sink(ctl->Events());
    ctl->SetEventSink(&sink);

    int failures = 0;
    for (; i < argc; ++i) {
        std::string name;
        std::vector<Variant> args;
        if (argv[i][0] == '@') {
            if (!ParseCall(argv[i] + 1, name, args) || name != "wait" || args.empty() ||
                args.size() > 2) {
                std::fprintf(stderr, "dispcall: cannot read the step %s\n", argv[i]);
                ++failures;
                continue;
            }
            const std::string event = args.size() == 2 ? args[0].AsText() : std::string();
            const int nMs = std::atoi(args.back().AsText().c_str());
            QElapsedTimer t;
            t.start();
            bool bCame = false;
            while (!(bCame = !event.empty() && sink.Claim(event)) && t.elapsed() < nMs) {
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
            }
            if (!event.empty()) {
                std::printf("wait %s%s\n", event.c_str(), bCame ? "" : ": timeout");
                std::fflush(stdout);
                if (!bCame) ++failures;
            }
            continue;
        }
        if (!ParseCall(argv[i], name, args)) {
            std::fprintf(stderr, "dispcall: cannot read the call %s\n", argv[i]);
            ++failures;
            continue;
        }
        const DispMember* m = name[0] == '#' ? ctl->FindMember(std::atoi(name.c_str() + 1))
                                             : ctl->FindMemberByName(name);
        if (!m) {
            std::printf("%s: %s\n", name.c_str(), DispResultText(DISP_E_MEMBERNOTFOUND));
            ++failures;
            continue;
        }
        Variant result;
        DispResult r = ctl->Invoke(m->dispid, args, &result);
        if (r != DISP_OK) {
            std::printf("%s: %s\n", m->name, DispResultText(r));
            ++failures;
        } else {
            std::printf("%s = %s\n", m->name, result.Display().c_str());
        }
        std::fflush(stdout);
        QCoreApplication::processEvents();
    }
    if (nWaitMs > 0) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < nWaitMs) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    ctl->SetEventSink(nullptr);
    ctl.reset();
    return failures ? 1 : 0;
}
