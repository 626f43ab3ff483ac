#pragma once
// The viewers' order dialogs: the user fills in a patient, the dialog connects to the
// device, sends the 3-byte prefix and the 132-byte order record, and closes with OK only
// after both were written whole. A refused, failed or timed-out connect reports 61205 and
// leaves the dialog usable again.
#include <QDialog>
#include <QTcpSocket>
#include <QTimer>
#include <ctime>
#include <functional>
#include <memory>

#include "acq_server/deviceorder.h"

class CExComboBox;
class CExEdit;
class CViewerIni;
class QCheckBox;
class QLabel;

// The dialog's connection: a stream socket that tells its owner when the connect finished.
class CConnectProbeSocket : public QTcpSocket {
    Q_OBJECT
public:
    explicit CConnectProbeSocket(QObject* pParent = nullptr);
    bool IsConnected() const { return m_bConnected; }

private:
    bool m_bConnected = false;
};

class COrderDialogBase : public QDialog {
    Q_OBJECT
public:
    enum : int {
        IDC_ID = 1012,
        IDC_NAME = 1006,
        IDC_AGE = 1007,
        IDC_AGE_UNIT = 1008,
        IDC_SEX = 1009,
        IDC_HEIGHT = 1010,
        IDC_WEIGHT = 1011,
        IDC_SMOKER = 1022,
        IDC_PACKS_LABEL = 1024,
        IDC_YEARS_LABEL = 1025,
        IDC_PACKS = 1014,
        IDC_YEARS = 1015,
        IDC_DEPARTMENT = 1016,
        IDC_ROOM = 1023,
        IDC_ADDRESS = 1013,
        IDC_FVC = 1019,
        IDC_SVC = 1020,
        IDC_MVV = 1021,
    };
    void SetPort(int nPort) { m_nPort = nPort; }
    void SetTimeoutMs(int nMs) { m_nTimeoutMs = nMs; }
    void SetClock(std::function<std::time_t()> clock) { m_clock = std::move(clock); }
    // The bytes sent by the last order (prefix and record).
    const std::array<BYTE, acq::kOrderWireSize>& Sent() const { return m_wire; }
    bool IsConnecting() const { return m_pSocket != nullptr; }
    void accept() override;

protected:
    COrderDialogBase(QWidget* pParent, int nEthnicId, bool bExams, int nTimeoutMs);
    virtual QString Address() const = 0;
    // Steps before the common checks; false stops the sending.
    virtual bool CheckAddress() { return true; }
    void Refuse(UINT nMessage, QWidget* pFocus);
    QWidget* Field(int nId) const;
    CExEdit* m_pAddress = nullptr;

private:
    bool ReadValues(acq::COrderValues& v);
    void OnConnected();
    void OnBytesWritten();
    void OnFailed();
    void DropSocket();
    void OnSmoker();
    void OnIdEdited(const QString& text);

    CExEdit *m_pId, *m_pName, *m_pAge, *m_pHeight, *m_pWeight, *m_pYears, *m_pDepartment, *m_pRoom;
    CExComboBox *m_pAgeUnit, *m_pSex, *m_pPacks, *m_pEthnic;
    QCheckBox* m_pSmoker;
    QLabel *m_pPacksLabel, *m_pYearsLabel;
    QCheckBox *m_pFvc = nullptr, *m_pSvc = nullptr, *m_pMvv = nullptr;
    bool m_bExams;
    int m_nPort = acq::kOrderPort;
    int m_nTimeoutMs;
    std::function<std::time_t()> m_clock = [] { return std::time(nullptr); };
    std::unique_ptr<CConnectProbeSocket> m_pSocket;
    QTimer m_timer;
    std::array<BYTE, acq::kOrderWireSize> m_wire{};
    int m_nIdLength = 0;
};

// The ECG viewer's "Enviar Solicitação": an ECG order to the address the view gives.
class COrderDialog : public COrderDialogBase {
    Q_OBJECT
public:
    explicit COrderDialog(QWidget* pParent = nullptr);
    void SetAddress(const QString& address) { m_strAddress = address; }

protected:
    QString Address() const override { return m_strAddress; }

private:
    QString m_strAddress;
};

// The spirometry viewer's "Enviando Registro": spirometry tests to the address it keeps
// in "SPIRO_VIEW"/"IP_ADDRESS".
class CSendRecordDialog : public COrderDialogBase {
    Q_OBJECT
public:
    CSendRecordDialog(CViewerIni& ini, QWidget* pParent = nullptr);

protected:
    QString Address() const override;
    bool CheckAddress() override;

private:
    CViewerIni& m_ini;
};
