#pragma once
// The order dialog (146, "Enviando Registro"): the operator fills in a patient order, and OK
// sends it to the device at the "Device IP" address, port 2000, as the 3-byte prefix and the
// 132-byte record of CDeviceOrder. Every control carries its resource id as its object name.
//
// Sending: OK checks the entries (message and focus on the first wrong one), fills the
// record with the clock's time, connects (timer 1, 8000 ms) with the dialog disabled. On
// the connection the 135 bytes are written and the socket closed gracefully; the dialog
// closes with OK only once every byte went out. No connection in time, a refused connect
// or a failed send: 61205 "Falha ao Conectar !!" and the dialog is usable again.
#include <QDialog>
#include <QString>
#include <QTcpSocket>
#include <ctime>
#include <functional>
#include <memory>

#include "acq_server/deviceorder.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class COrderDlg;

// The order's client socket: connects, writes the order, closes gracefully. Reports back
// to its dialog; deleted by it (never inside one of its own notifications).
class COrderSocket : public QObject {
    Q_OBJECT
public:
    explicit COrderSocket(COrderDlg& owner);
    ~COrderSocket() override;

    void Connect(const QString& strAddress, quint16 nPort);
    bool IsConnected() const { return m_bConnected; }
    // Writes the bytes and closes once they are all on their way; OnSent follows.
    void SendAndClose(const QByteArray& bytes);
    qint64 BytesSent() const { return m_nSent; }
    void Abort();

private slots:
    void OnConnect();
    void OnError(QAbstractSocket::SocketError e);
    void OnBytesWritten(qint64 n);
    void OnDisconnected();

private:
    COrderDlg& m_owner;
    QTcpSocket m_socket;
    bool m_bConnected = false;
    bool m_bSending = false;
    bool m_bDone = false;
    qint64 m_nToSend = 0;
    qint64 m_nSent = 0;
};

class COrderDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDialogId = 146;
    static constexpr int kConnectTimer = 1;
    static constexpr int kConnectMs = 8000;
    enum : int {
        IDC_ID = 1012, IDC_NAME = 1006, IDC_AGE = 1007, IDC_AGE_UNIT = 1008, IDC_SEX = 1009,
        IDC_HEIGHT = 1010, IDC_WEIGHT = 1011, IDC_SMOKER = 1022, IDC_AMOUNT = 1014,
        IDC_SMOKE_YEARS = 1015, IDC_AMOUNT_LABEL = 1024, IDC_YEARS_LABEL = 1025,
        IDC_DEPARTMENT = 1016, IDC_ROOM = 1023, IDC_ETHNIC = 1017, IDC_ECG = 1018,
        IDC_FVC = 1019, IDC_SVC = 1020, IDC_MVV = 1021, IDC_ADDRESS = 1055, IDC_SETTINGS = 3,
    };
    enum : int {
        IDS_CONNECT_FAILED = 61205, IDS_ENTER_ID = 61206, IDS_ENTER_NAME = 61207,
        IDS_SELECT_EXAM = 61208,
    };
    // The operator's texts by string id (UTF-8).
    static const char* Text(int nId);

    // The address dialog (154): shows strAddress, TRUE on OK with the new one in it.
    using AddressDialogFn = std::function<bool(QWidget* pOwner, QString& strAddress)>;
    // Keeps a new address ("Device IP" in "Environment").
    using SaveAddressFn = std::function<void(const std::string& strAddress)>;

    COrderDlg(const QString& strAddress, int nPort = acq::kOrderPort, QWidget* pParent = nullptr);
    ~COrderDlg() override;

    void SetAddressDialog(AddressDialogFn fn) { m_addressDialog = std::move(fn); }
    void SetSaveAddress(SaveAddressFn fn) { m_saveAddress = std::move(fn); }
    void SetClock(std::function<std::time_t()> fn) { m_clock = std::move(fn); }
    void SetConnectTimeout(int nMs) { m_nConnectMs = nMs; }
    void SetPort(int nPort) { m_nPort = nPort; }

    QString Address() const { return m_strAddress; }
    // The values as the controls hold them; FALSE (message, focus) when a number is no
    // whole number.
    bool TakeValues(acq::COrderValues& values);
    bool IsSending() const { return m_pSocket != nullptr; }
    // The record of the last order sent or being sent.
    const acq::CDeviceOrder& Order() const { return m_order; }

    void accept() override;

    // From the order socket.
    void OnConnected();
    void OnSendEnded(bool bAllSent);
    void OnConnectFailed();

protected:
    void timerEvent(QTimerEvent* pEvent) override;
    void done(int nResult) override;

private slots:
    void OnIdChanged();
    void OnSmoker();
    void OnSettings();

private:
    void BuildControls();
    void Fail();
    void EndAttempt();
    void SetEditing(bool bEditing);
    void Focus(int nId);

    QString m_strAddress;
    int m_nPort;
    int m_nConnectMs = kConnectMs;
    int m_nTimer = 0;
    bool m_bFilteringId = false;
    std::function<std::time_t()> m_clock;
    AddressDialogFn m_addressDialog;
    SaveAddressFn m_saveAddress;
    acq::CDeviceOrder m_order;
    std::unique_ptr<COrderSocket> m_pSocket;

    QLineEdit* m_pId = nullptr;
    QLineEdit* m_pName = nullptr;
    QLineEdit* m_pAge = nullptr;
    QComboBox* m_pAgeUnit = nullptr;
    QComboBox* m_pSex = nullptr;
    QLineEdit* m_pHeight = nullptr;
    QLineEdit* m_pWeight = nullptr;
    QCheckBox* m_pSmoker = nullptr;
    QComboBox* m_pAmount = nullptr;
    QLineEdit* m_pYears = nullptr;
    QLabel* m_pAmountLabel = nullptr;
    QLabel* m_pYearsLabel = nullptr;
    QLineEdit* m_pDepartment = nullptr;
    QLineEdit* m_pRoom = nullptr;
    QComboBox* m_pEthnic = nullptr;
    QCheckBox* m_pExam[4] = {};
    QLabel* m_pAddress = nullptr;
};
