#pragma once
// Types of the GDT library: the field and record numbers of the GDT standard, the
// enumerations whose numbers the files carry, and the markers of an absent value.
#include "platform/wintypes.h"

#define ZEQGDT_API __attribute__((visibility("default")))

// GDT field number (0..9999).
enum eFIELD_ID : int {
    FIELD_NONE = 0,
    FIELD_SW_MAKER = 102,
    FIELD_SW_NAME = 103,
    FIELD_SW_VERSION = 132,
    FIELD_PATIENT_ID = 3000,
    FIELD_PREFIX_NAME = 3100,
    FIELD_LAST_NAME = 3101,
    FIELD_FIRST_NAME = 3102,
    FIELD_BIRTH_DATE = 3103,
    FIELD_PATIENT_TITLE = 3104,
    FIELD_INSURANCE_NUMBER = 3105,
    FIELD_RESIDENCE = 3106,
    FIELD_STREET = 3107,
    FIELD_INSURANCE_STATUS = 3108,
    FIELD_GENDER = 3110,
    FIELD_HEIGHT = 3622,
    FIELD_WEIGHT = 3623,
    FIELD_3628 = 3628,
    FIELD_ARCHIVE_ATTRIBUTE = 6302,
    FIELD_ARCHIVE_FORMAT = 6303,
    FIELD_ARCHIVE_DESC = 6304,
    FIELD_ARCHIVE_PATH = 6305,
    FIELD_SENTENCE_ID = 8000,
    FIELD_SENTENCE_LENGTH = 8100,
    FIELD_RECEIVER_ID = 8315,
    FIELD_SENDER_ID = 8316,
    FIELD_MEASURE_INFO = 8402,
    FIELD_TEST_ID = 8410,
    FIELD_TEST_NAME = 8411,
    FIELD_TEST_VALUE = 8420,
    FIELD_TEST_UNIT = 8421,
    FIELD_STREAM_LABEL = 8430,
    FIELD_TEST_DATE = 8432,
    FIELD_STREAM_UNIT = 8437,
    FIELD_STREAM_DATA = 8438,
    FIELD_TEST_TIME = 8439,
    FIELD_TEST_STANDARD_LIMIT = 8460,
    FIELD_TEST_LOW_LIMIT = 8461,
    FIELD_TEST_HIGH_LIMIT = 8462,
    FIELD_COMMENT = 8470,
    FIELD_RESULT_TEXT = 8480,
    FIELD_CHAR_TYPE = 9206,
    FIELD_GDT_VERSION = 9218,
};

// GDT record type; results are 6310.
enum eSENTENCE_ID : int { SENTENCE_NONE = 0, SENTENCE_RESULT = 6310 };
enum eVERSION : int { VERSION_NONE = 0, VERSION_0210 = 1, VERSION_0300 = 2 };
// Value of field 9206; 0 leaves the field out.
enum eCHAR_TYPE : int { CHAR_TYPE_NONE = 0, CHAR_TYPE_7BIT = 1, CHAR_TYPE_IBM437 = 2, CHAR_TYPE_ANSI = 3 };
// Value of field 3110.
enum eGENDER : int { GENDER_NONE = 0, GENDER_MALE = 1, GENDER_FEMALE = 2 };
// Device codes of field 8402.
enum eDEVICE : int {
    DEVICE_NONE = 0,
    DEVICE_ALLG00 = 1,
    DEVICE_EKG01 = 2,
    DEVICE_LUFU01 = 3,
    DEVICE_LUFU02 = 4,
    DEVICE_LUFU03 = 5,
};
enum eUNIT : int {
    UNIT_NONE = 0,
    UNIT_CM = 1,
    UNIT_INCH = 2,
    UNIT_KG = 3,
    UNIT_LB = 4,
    UNIT_MMHG = 5,
    UNIT_KPA = 6,
    UNIT_F = 7,
    UNIT_C = 8,
    UNIT_BPM = 9,
    UNIT_RPM = 10,
    UNIT_SEC = 11,
    UNIT_MSEC = 12,
    UNIT_PERCENT = 13,
    UNIT_MV = 14,
    UNIT_L = 15,
    UNIT_LPS = 16,
};

// Markers of an absent value: getters return them, builders skip arguments equal to them.
#define GDT_NO_TEXT "*-+-*"
constexpr int GDT_NO_INT = -1;
constexpr int GDT_NO_ENUM = 0;
constexpr double GDT_NO_REAL = -5000000000.0;
