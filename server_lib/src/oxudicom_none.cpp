// Built when the DICOM library is not part of the build: conversion is refused and logged.
#include "server_lib/oxudbdatamanager.h"

BOOL OxuWriteDicom(const COxuDbDataManager::CRows&, const CString&, const CString&, BOOL,
                   CString& strError) {
    strError = "this build has no DICOM library";
    return FALSE;
}
