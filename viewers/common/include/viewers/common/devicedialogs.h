#pragma once
// The ECG viewer's device dialogs: choosing one of the carts the ECG control found
// (dialog 154) and the settings of section "EKG_VIEW" (dialog 153).
#include <QDialog>

#include "viewers/common/viewerini.h"

class CWavelin;
class CExComboBox;
class CExEdit;
class QRadioButton;
class QPushButton;

// Fills a list with "NONE" and the description of each device the control found.
void FillDeviceList(CExComboBox* pList, CWavelin& wavelin);

class CDeviceSelectDialog : public QDialog {
    Q_OBJECT
public:
    enum : int { IDC_DEVICES = 4105 };
    CDeviceSelectDialog(CWavelin& wavelin, CViewerIni& ini, QWidget* pParent = nullptr);
    void accept() override;

private:
    CWavelin& m_wavelin;
    CViewerIni& m_ini;
    CExComboBox* m_pList;
};

class CLindarSettingsDialog : public QDialog {
    Q_OBJECT
public:
    enum : int {
        IDC_DHCP = 4102,
        IDC_FIXED_IP = 4103,
        IDC_ADDRESS = 1041,
        IDC_DEVICES = 1093,
        IDC_SEARCH = 4104,
        IDC_SEARCH_TIME = 4106,
        IDC_DISP_DEFAULT = 1091,
        IDC_DISP_FULL = 1092,
        IDC_JPEG_SIZE = 4085,
        IDC_BMP1 = 4100,
        IDC_BMP2 = 4101,
        IDC_FOLDER = 1033,
        IDC_BROWSE = 1032,
        IDC_DOCTOR = 1042,
        IDC_HOSPITAL = 1043,
    };
    CLindarSettingsDialog(CWavelin& wavelin, CViewerIni& ini, QWidget* pParent = nullptr);
    void OnDhcp();
    void OnFixedIp();
    void OnSearch();
    void accept() override;

private:
    void FillDevices();
    CWavelin& m_wavelin;
    CViewerIni& m_ini;
    std::string m_strRegisteredId;
    std::string m_strSaveComment;
    QRadioButton* m_pDhcp;
    QRadioButton* m_pFixed;
    CExEdit* m_pAddress;
    CExComboBox* m_pDevices;
    QPushButton* m_pSearch;
    CExComboBox* m_pSearchTime;
    CExComboBox* m_pDispDefault;
    CExComboBox* m_pDispFull;
    CExComboBox* m_pJpegSize;
    QRadioButton* m_pBmp1;
    QRadioButton* m_pBmp2;
    CExEdit* m_pFolder;
    CExEdit* m_pDoctor;
    CExEdit* m_pHospital;
};
