// The simulator's spirometer scripts against the in-process server on 127.0.0.1: the
// stored test files are opened with the spirometry control's reader and compared with
// what the simulator says it sent; the device's replies are compared byte for byte.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <filesystem>
#include <memory>

#include "acq_server/listensocket.h"
#include "qtenv.h"
#include "spiro_control/spirotestfile.h"
#include "testsupport/testsupport.h"

namespace {

struct CRun {
    int nExit = -1;
    QByteArray replies;
    bool bClosed = false;
    QString strErr;
};

// Slots of predicted values that a test file of this type and format keeps.
bool SlotStored(int nSlot, int nType, int nFormat) {
    if (nSlot <= 21)
        return true;
    if (nFormat == 0)
        return nType == 1 ? nSlot <= 34 : nSlot >= 35 && nSlot <= 45;
    return nSlot >= 35;
}

class SpiroDevsim : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp();
        m_context.m_settings.m_strWorkingFolder = m_dir.Path();
        m_context.m_onStored = [this](const CStoredRecord& r) {
            m_stored.push_back(r);
            // The container lives only while the conversions run.
            const CSpiroTestFile* pFile = r.m_pSpiro ? r.m_pSpiro->GetTestFile() : nullptr;
            m_storedTypes.push_back(pFile ? pFile->GetTestType() : -1);
            m_stored.back().m_pSpiro = nullptr;
        };
        m_pListen = std::make_unique<CListenSocket>(m_context);
        ASSERT_TRUE(m_pListen->Listen(QHostAddress::LocalHost, 0));
    }
    void TearDown() override {
        m_pListen.reset();
        RunFor(20);
    }
    CRun Run(const QStringList& args) {
        QProcess p;
        p.setProgram("/usr/bin/python3");
        p.setArguments(
            QStringList{DEVSIM_PY, "--port", QString::number(m_pListen->Port()), "--quiet", "0.4"} +
            args);
        p.start();
        EXPECT_TRUE(RunUntil([&] { return p.state() == QProcess::NotRunning; }, 90000));
        CRun run;
        run.nExit = p.exitCode();
        run.strErr = QString::fromUtf8(p.readAllStandardError());
        for (const QByteArray& line : p.readAllStandardOutput().split('\n')) {
            if (line.startsWith("REPLY "))
                run.replies += QByteArray::fromHex(line.mid(6));
            if (line == "CLOSED")
                run.bClosed = true;
        }
        return run;
    }
    QJsonObject Expect(const std::string& name) {
        QFile f(QString::fromStdString(m_dir / name));
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return QJsonDocument::fromJson(f.readAll()).object();
    }

    testsupport::CTempDir m_dir;
    CAcqContext m_context;
    std::unique_ptr<CListenSocket> m_pListen;
    std::vector<CStoredRecord> m_stored;
    std::vector<int> m_storedTypes;
};

// The stored file through the control's reader against the simulator's account.
void CheckSpiroFile(const std::string& strPath, const QJsonObject& e) {
    CSpiroTestFile f;
    const int nType = e["type"].toInt();
    const int nFormat = e["format"].toInt();
    ASSERT_EQ(f.Open(strPath, 0), nType) << strPath;
    EXPECT_EQ(f.GetFormat(), nFormat);
    EXPECT_EQ(testsupport::ReadFile(strPath).size(), spirofile::FileLength(nType, nFormat));
    EXPECT_EQ(f.m_Info.m_nTrials, e["trials"].toInt());
    EXPECT_EQ(f.m_Info.m_nBestTrial, e["best"].toInt());
    if (nType == 5) {
        EXPECT_EQ(f.m_Info.m_nPostTrials, e["post_trials"].toInt());
        EXPECT_EQ(f.m_Info.m_nPostBestTrial, e["post_best"].toInt());
    }
    const QJsonObject info = e["info"].toObject();
    for (auto it = info.begin(); it != info.end(); ++it)
        EXPECT_EQ(f.GetInformation(static_cast<short>(it.key().toInt())),
                  it.value().toString().toStdString())
            << "kind " << it.key().toStdString();
    if (e.contains("analysis")) {
        EXPECT_EQ(f.m_Info.m_strAnalysis, e["analysis"].toString().toStdString());
    }
    if (e.contains("analysis_post")) {
        EXPECT_EQ(f.m_Info.m_strAnalysisPost, e["analysis_post"].toString().toStdString());
    }
    if (e.contains("formula")) {
        EXPECT_EQ(f.m_Info.m_nFormulaByte, e["formula"].toInt());
        EXPECT_EQ(f.GetFormulaIndex(), e["formula"].toInt());
    }
    const QJsonArray fvc = e["fvc"].toArray();
    for (int r = 0; r < fvc.size(); ++r) {
        const QJsonArray row = fvc[r].toArray();
        for (int c = 0; c < row.size(); ++c)
            EXPECT_FLOAT_EQ(f.m_Param.m_afFvc[r][c], static_cast<float>(row[c].toDouble()))
                << "FVC row " << r << " column " << c;
    }
    const QJsonArray svc = e["svc"].toArray();
    for (int r = 0; r < svc.size(); ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_FLOAT_EQ(f.m_Param.m_afSvc[r][c],
                            static_cast<float>(svc[r].toArray()[c].toDouble()));
    const QJsonArray mvv = e["mvv"].toArray();
    for (int i = 0; i < mvv.size(); ++i)
        EXPECT_FLOAT_EQ(f.m_Param.m_afMvv[i], static_cast<float>(mvv[i].toDouble()));
    const QJsonArray ecode = e["ecode"].toArray();
    for (int t = 0; t < ecode.size(); ++t)
        EXPECT_EQ(std::string(f.m_Param.m_acEcode[t].data(), 3), ecode[t].toString().toStdString());
    const QJsonObject slotValues = e["slots"].toObject();
    int nChecked = 0;
    for (auto it = slotValues.begin(); it != slotValues.end(); ++it) {
        const int nSlot = it.key().toInt();
        if (!SlotStored(nSlot, nType, nFormat))
            continue;
        ++nChecked;
        if (nSlot <= 21)
            EXPECT_EQ(f.m_Predict.GetInt(nSlot), it.value().toInt()) << "slot " << nSlot;
        else
            EXPECT_FLOAT_EQ(f.m_Predict.GetFloat(nSlot), static_cast<float>(it.value().toDouble()))
                << "slot " << nSlot;
    }
    if (nType != 3) {
        EXPECT_GE(nChecked, 3);  // an MVV test has no counts or predicted values
    }
    const QJsonObject curves = e["curves"].toObject();
    ASSERT_FALSE(curves.isEmpty());
    const std::pair<const char*, CSpiroCurveData::EArea> areas[] = {
        {"base", CSpiroCurveData::kBase},
        {"post", CSpiroCurveData::kPost},
        {"svc", CSpiroCurveData::kSvc},
        {"mvv", CSpiroCurveData::kMvv}};
    for (const auto& [pszName, eArea] : areas) {
        if (!curves.contains(pszName))
            continue;
        const QJsonArray samples = curves[pszName].toArray();
        ASSERT_EQ(static_cast<DWORD>(samples.size()) * 4, CSpiroCurveData::AreaSize(eArea));
        for (int i = 0; i < samples.size(); ++i)
            ASSERT_EQ(static_cast<int>(f.m_Curve.GetWord(eArea, 4 * i)), samples[i].toInt())
                << pszName << " sample " << i;
    }
}

QByteArray LongReply(const std::string& strID, BYTE nKind, const std::string& strPath) {
    QByteArray a(188, '\0');
    a[0] = char(0xFD);
    a[1] = char(0xC2);
    a[2] = char(0xBC);
    a.replace(3, static_cast<int>(strID.size()), strID.c_str());
    a[35] = static_cast<char>(nKind);
    const std::string strCut = strPath.substr(0, 150);
    a.replace(36, static_cast<int>(strCut.size()), strCut.c_str());
    a[187] = char(0xEF);
    return a;
}

TEST_F(SpiroDevsim, LegacySpirometer) {
    // Legacy tests are stored and answered with nothing.
    struct Case {
        QStringList args;
        const char* pszExt;
    } cases[] = {
        {{"legacy-fvc"}, ".fvc"},
        {{"legacy-fvc", "--format", "0", "--fvc-type", "4", "--chunk", "61"}, ".fvc"},
        {{"legacy-fvc", "--format", "none"}, ".fvc"},  // header without a format byte
        {{"legacy-fvc", "--format", "9"}, ".fvc"},     // unknown format: taken as 0
        {{"legacy-fvc-post", "--format", "1"}, ".fvc"},
        {{"legacy-fvc-post", "--format", "0", "--seed", "4"}, ".fvc"},
        {{"legacy-svc", "--chunk", "777"}, ".svc"},
        {{"legacy-mvv", "--seed", "7"}, ".mvv"},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string strID = "SL" + std::to_string(++n);
        const std::string strExpect = strID + ".json";
        const CRun run = Run(QStringList{"--id", QString::fromStdString(strID), "--expect",
                                         QString::fromStdString(m_dir / strExpect)} +
                             c.args);
        ASSERT_EQ(run.nExit, 0) << run.strErr.toStdString();
        EXPECT_TRUE(run.replies.isEmpty()) << run.replies.toHex().toStdString();
        EXPECT_FALSE(run.bClosed);
        const std::string strPath = m_dir / (strID + "_20260304050607" + c.pszExt);
        ASSERT_TRUE(RunUntil([&] { return std::filesystem::exists(strPath); }))
            << c.args.join(' ').toStdString();
        CheckSpiroFile(strPath, Expect(strExpect));
    }
    // The legacy path hands each test to the conversions, unanswered.
    EXPECT_EQ(m_stored.size(), std::size(cases));
}

TEST_F(SpiroDevsim, FrameSpirometer) {
    struct Case {
        QStringList args;
        const char* pszExt;
        bool bLong;
        BYTE nKind;
    } cases[] = {
        {{"frame-svc", "--option", "1"}, ".svc", false, 4},
        {{"frame-svc", "--option", "3", "--long-reply", "--chunk", "500"}, ".svc", true, 4},
        {{"frame-mvv", "--option", "2", "--long-reply"}, ".mvv", true, 8},
        {{"frame-mvv", "--option", "1", "--seed", "5"}, ".mvv", false, 8},
        {{"frame-fvc", "--option", "1", "--long-reply"}, ".fvc", true, 2},
        {{"frame-fvc", "--option", "3", "--formula", "5", "--chunk", "3001"}, ".fvc", false, 2},
        {{"frame-fvc-post", "--option", "2", "--long-reply", "--formula", "1"}, ".fvc", true, 2},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string strID = "SF" + std::to_string(++n);
        const std::string strExpect = strID + ".json";
        m_stored.clear();
        m_storedTypes.clear();
        const CRun run = Run(QStringList{"--id", QString::fromStdString(strID), "--expect",
                                         QString::fromStdString(m_dir / strExpect)} +
                             c.args);
        ASSERT_EQ(run.nExit, 0) << run.strErr.toStdString();
        const QJsonObject e = Expect(strExpect);
        const std::string strPath = m_dir / (strID + "_20260304050607" + c.pszExt);
        const QByteArray expected =
            c.bLong ? LongReply(strID, c.nKind, strPath) : QByteArray::fromHex("fc0600ef");
        EXPECT_EQ(run.replies.toHex(), expected.toHex());
        EXPECT_FALSE(run.bClosed);
        ASSERT_EQ(m_stored.size(), 1u);
        EXPECT_EQ(m_stored[0].m_nKind, 2);
        EXPECT_EQ(m_stored[0].m_strPath, strPath);
        EXPECT_EQ(m_stored[0].m_strPatientID, strID);
        EXPECT_EQ(m_storedTypes[0], e["type"].toInt());
        CheckSpiroFile(strPath, e);
    }
}

TEST_F(SpiroDevsim, SpirometerFolderAndUnwritableFolder) {
    // One folder per kind: spirometry tests go to SPIRO.
    m_context.m_settings.m_nFolderType = 2;
    CRun run = Run({"frame-mvv", "--id", "K1", "--long-reply"});
    const std::string strPath = m_dir.Path() + "SPIRO/K1_20260304050607.mvv";
    EXPECT_EQ(run.replies.toHex(), LongReply("K1", 8, strPath).toHex());
    EXPECT_TRUE(std::filesystem::exists(strPath));

    // A test that cannot be written is refused, not reported as taken.
    const std::string strFile = m_dir / "not-a-folder";
    testsupport::WriteFile(strFile, "x");
    m_context.m_settings.m_strWorkingFolder = strFile;
    m_context.m_settings.m_nFolderType = 0;
    m_stored.clear();
    run = Run({"frame-svc", "--id", "K2", "--long-reply"});
    EXPECT_EQ(run.replies.toHex(), QByteArray("fc0700ef"));
    EXPECT_TRUE(m_stored.empty());
}

TEST_F(SpiroDevsim, SpirometersAndCartAtOnce) {
    // Each connection keeps its own record: two spirometers and an ECG cart interleaved.
    struct Case {
        QStringList args;
        std::string strName;
        QByteArray reply;
    } cases[] = {
        {{"frame-svc", "--id", "A1", "--option", "2"},
         "A1_20260304050607.svc",
         QByteArray::fromHex("fc0600ef")},
        {{"legacy-fvc-post", "--id", "A2", "--format", "1"}, "A2_20260304050607.fvc", QByteArray()},
        {{"frame-ecg", "--id", "A3", "--blocks", "50"},
         "A3_20260304050607.ekg",
         QByteArray::fromHex("fc0600ef")},
    };
    std::vector<std::unique_ptr<QProcess>> procs;
    for (const auto& c : cases) {
        auto p = std::make_unique<QProcess>();
        p->setProgram("/usr/bin/python3");
        p->setArguments(QStringList{DEVSIM_PY, "--port", QString::number(m_pListen->Port()),
                                    "--quiet", "0.4", "--chunk", "700", "--delay", "0.001",
                                    "--expect",
                                    QString::fromStdString(m_dir / (c.strName + ".json"))} +
                        c.args);
        p->start();
        procs.push_back(std::move(p));
    }
    for (std::size_t i = 0; i < procs.size(); ++i) {
        QProcess& p = *procs[i];
        ASSERT_TRUE(RunUntil([&] { return p.state() == QProcess::NotRunning; }, 90000));
        QByteArray replies;
        for (const QByteArray& line : p.readAllStandardOutput().split('\n'))
            if (line.startsWith("REPLY "))
                replies += QByteArray::fromHex(line.mid(6));
        EXPECT_EQ(replies.toHex(), cases[i].reply.toHex()) << cases[i].strName;
        EXPECT_TRUE(std::filesystem::exists(m_dir / cases[i].strName)) << cases[i].strName;
    }
    CheckSpiroFile(m_dir / cases[0].strName, Expect(cases[0].strName + ".json"));
    CheckSpiroFile(m_dir / cases[1].strName, Expect(cases[1].strName + ".json"));
    EXPECT_EQ(testsupport::ReadFile(m_dir / cases[2].strName).size(), 132640u);
}

}  // namespace
