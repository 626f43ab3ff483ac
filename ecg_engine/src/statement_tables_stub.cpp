// Stand-in for the statement tables: English rows for every language until the tables of
// all twelve languages are built.
#include "ecg_engine/statement_tables.h"

#include <array>
#include <cctype>
#include <cstring>
#include <string>

namespace ecg_engine {

namespace {

const char* const kEnglishRhythmRows[] = {
    "RHYTHM_CASES_ENGLISH________",
    "__Sinus_______________________",
    "Sinus Bradycardia",
    "Normal Sinus Rhythm",
    "Sinus Tachycardia",
    "Sinus Arrhythmia",
    "__Atrial______________________",
    "Atrial Rhythm",
    "Atrial Tachycardia",
    "Atrial Flutter",
    "Atrial Fibrillation",
    "Multifocal Atrial Tachycardia",
    "Nonsustained Atrial Tachycardia",
    "Wandering Pacemaker",
    "__Junctional__________________",
    "Junctional Rhythm",
    "Supraventricular Tachycardia(AV node dependent Tachycardia)",
    "Nonsustained Junctional Tachycardia",
    "__Ventricular_________________",
    "Ventricular Rhythm",
    "Ventricular Tachycardia",
    "Ventricular Flutter",
    "Slow Ventricular Tachycardia",
    "Nonsustained Ventricular Tachycardia",
    "Nonsustained V. Flutter    ",
    "__Conduction__________________",
    "AV Block I",
    "AV Block II - type I",
    "AV Block II - type II",
    "2:1 AV Block",
    "Complete AV Block",
    "Sinus Pause",
    "Pause",
    "SA Block",
    "Atrial flutter with 2:1 AV conduction",
    "__Premature___________________",
    "PAC(Premature Atrial Contraction)",
    "PJC(Premature Junctional Contraction)",
    "PVC(Premature Ventricular Contraction)",
    "short run of PAC",
    "short run of PJC",
    "short run of PVC",
    "PAC Bigeminy",
    "PJC Bigeminy",
    "PVC Bigeminy",
    "PAC Trigeminy",
    "PJC Trigeminy",
    "PVC Trigeminy",
    "__Escape______________________",
    "Escape Atrial Beat",
    "Escape Junctional Beat",
    "Escape Ventricular Beat",
    "Escape Atrial Rhythm",
    "Escape Junctional Rhythm",
    "Escape Ventricular Rhythm",
    "__RHYTHM___Prefix_Attributes____",
    "(possible)",
    "__RHYTHM_Extended_Message_______",
    "(possible) Atrial flutter with 2:1 AV conduction",
    "(possible)Slow Ventricular Tachycardia",
    "(possible)Ventricular Rhythm",
    "(possible)Ventricular Tachycardia",
    "Normal Sinus Rhythm(Sinus Arrhythmia)",
    "[ Markedly Abnormal ECG ]",
    "[ Moderately Abnormal ECG ]",
    "[ Minimally Abnormal or Normal Variation ECG ]",
    "[ Normal ECG ]",
    "Male    ",
    "Female  ",
    "Critical error occured in the data conditioning function",
    "*** Poor data quality, interpretation may be adversely affected",
    "End_Of_Message__",
};

const char* const kEnglishWaveformRows[] = {
    "WAVEFORM_CASES_ENGLISH______",
    "Enlargement (Hypertrophy)_____________",
    "Biatrial Enlargement",
    "RAE(Right Atrial Enlargement)",
    "LAE(Left Atrial Enlargement)",
    "(possible) Left Atrial Enlargement",
    "Biventricular Hypertrophy",
    "RVH(Right Ventricular Hypertrophy)",
    "LVH(Left Ventricular Hypertrophy)",
    "probable RVH",
    "QRS axis and Voltage__________________",
    "Normal Axis",
    "Right Axis Deviation",
    "Left Axis Deviation",
    "Northwest Axis",
    "Low Voltage (Limb Leads)",
    "Low Voltage (Chest Leads)",
    "Low Voltage QRS",
    "Intraventricular Conduction___________",
    "Bifascicular block (RBBB + LPFB)",
    "Bifascicular block (RBBB + LAFB)",
    "CRBBB(Complete Right Bundle Branch Block)",
    "ICRBBB(Incomplete Right Bundle Branch Block)",
    "LBBB(Left Bundle Branch Block)",
    "Nonspecific intraventricular coduction delay",
    "Ventricular preexcitation(WPW)",
    "Myocardial Infarction_________________",
    "possible Anteroseptal MI",
    "Anteroseptal MI",
    "Anterior MI",
    "High lateral MI",
    "Lateral MI",
    "Anterolateral MI",
    "Inferior MI",
    "Posterior MI",
    "Repolarization Changes________________",
    "ST abnormality, possible subendocardial ischemia",
    "ST abnormality, possible transmural injury",
    "T wave inversion in %s (possible Myocardial ischemia)",
    "T wave inversion, possible Myocardial ischemia",
    "Anterior",
    "High Lateral",
    "Inferior",
    "Anteroseptal",
    "Anterolateral",
    "______________________________________",
    "prolonged QT",
    "Extended_Message______________________",
    "*** Axis and MI may be incorrect due to low voltage.",
    "*** Axis may be incorrect due to low voltage.",
    "*** MI may be incorrect due to low voltage.",
    "Anterior extensive MI",
    "Anterior)",
    "Anterior, ",
    "High Lateral)",
    "High Lateral, ",
    "Inferior)",
    "Inferior, ",
    "Left-ward Axis",
    "Low QRS Voltage",
    "probable Right Ventricular Hypertrophy",
    "ST abnormality, possible subendocardial injury(Anterior)",
    "ST abnormality, possible subendocardial injury(Anterolateral)",
    "ST abnormality, possible subendocardial injury(Anteroseptal)",
    "ST abnormality, possible subendocardial injury(High Lateral)",
    "ST abnormality, possible subendocardial injury(Inferior)",
    "ST abnormality, possible transmural injury(Anterior)",
    "ST abnormality, possible transmural injury(Anterolateral)",
    "ST abnormality, possible transmural injury(Anteroseptal)",
    "ST abnormality, possible transmural injury(High Lateral)",
    "ST abnormality, possible transmural injury(Inferior)",
    "T wave inversion in Anterior(possible Myocardial ischemia)",
    "T wave inversion in Anterolateral(possible Myocardial ischemia)",
    "T wave inversion in Anteroseptal(possible Myocardial ischemia)",
    "T wave inversion in High Lateral(possible Myocardial ischemia)",
    "T wave inversion in Inferior(possible Myocardial ischemia)",
    "Ventricular Pre-excitation(WPW)",
    "End_Of_Message__",
};

const char* const kZorvik21EnglishRows[] = {
    "RHYTHM_CASES_ENGLISH________",
    "__Sinus_______________________",
    "Sinus Bradycardia",
    "Normal Sinus Rhythm",
    "Sinus Tachycardia",
    "Sinus Arrhythmia",
    "__Atrial______________________",
    "Atrial Rhythm",
    "Atrial Tachycardia",
    "Atrial Flutter",
    "Atrial Fibrillation",
    "Multifocal Atrial Tachycardia",
    "Nonsustained Atrial Tachycardia",
    "Wandering Pacemaker",
    "__Junctional__________________",
    "Junctional Rhythm",
    "Supraventricular Tachycardia(AV node dependent Tachycardia)",
    "Nonsustained Junctional Tachycardia",
    "__Ventricular_________________",
    "Ventricular Rhythm",
    "Ventricular Tachycardia",
    "Ventricular Flutter",
    "Slow Ventricular Tachycardia",
    "Nonsustained Ventricular Tachycardia",
    "Nonsustained V. Flutter    ",
    "__Conduction__________________",
    "AV Block I",
    "AV Block II - type I",
    "AV Block II - type II",
    "2:1 AV Block",
    "Complete AV Block",
    "Sinus Pause",
    "SA Block",
    "Atrial flutter with 2:1 AV conduction",
    "__Premature___________________",
    "PAC(Premature Atrial Contraction)",
    "PJC(Premature Junctional Contraction)",
    "PVC(Premature Ventricular Contraction)",
    "short run of PAC",
    "short run of PJC",
    "short run of PVC",
    "PAC Bigeminy",
    "PJC Bigeminy",
    "PVC Bigeminy",
    "PAC Trigeminy",
    "PJC Trigeminy",
    "PVC Trigeminy",
    "__Escape______________________",
    "Escape Atrial Beat",
    "Escape Junctional Beat",
    "Escape Ventricular Beat",
    "Escape Atrial Rhythm",
    "Escape Junctional Rhythm",
    "Escape Ventricular Rhythm",
    "__RHYTHM___Prefix_Attributes____",
    "(possible)",
    "__RHYTHM_Extended_Message_______",
    "(possible) Atrial flutter with 2:1 AV conduction",
    "(possible)Slow Ventricular Tachycardia",
    "(possible)Ventricular Rhythm",
    "(possible)Ventricular Tachycardia",
    "Normal Sinus Rhythm(Sinus Arrhythmia)",
    "[ Markedly Abnormal ECG ]",
    "[ Moderately Abnormal ECG ]",
    "[ Minimally Abnormal or Normal Variation ECG ]",
    "[ Normal ECG ]",
    "Male    ",
    "Female  ",
    "Critical error occured in the data conditioning function",
    "*** Poor data quality, interpretation may be adversely affected",
    "End_Of_Message__",
};

static_assert(sizeof kEnglishRhythmRows / sizeof *kEnglishRhythmRows == kRhythmRows);
static_assert(sizeof kEnglishWaveformRows / sizeof *kEnglishWaveformRows == kWaveformRows);
static_assert(sizeof kZorvik21EnglishRows / sizeof *kZorvik21EnglishRows == kZorvik21RhythmRows);

}  // namespace

namespace {

// The capitals table: English in capitals, except the marker rows, the rows kept as they are
// and the format "%s".
template <std::size_t N>
const char* const* Capitals(const char* const (&rows)[N], std::initializer_list<int> keep) {
    static std::array<std::string, N> s_text;
    static std::array<const char*, N> s_rows;
    for (std::size_t i = 0; i < N; ++i) {
        std::string t = rows[i];
        bool bKeep = std::strchr(rows[i], '_') != nullptr;
        for (int k : keep)
            bKeep = bKeep || static_cast<int>(i) == k;
        if (!bKeep) {
            for (std::size_t c = 0; c < t.size(); ++c) {
                if (t[c] == '%' && c + 1 < t.size())
                    ++c;
                else
                    t[c] = static_cast<char>(std::toupper(static_cast<unsigned char>(t[c])));
            }
        }
        s_text[i] = t;
        s_rows[i] = s_text[i].c_str();
    }
    return s_rows.data();
}

}  // namespace

const char* const* RhythmStatementRows(int language) {
    static const char* const* s_capitals = Capitals(kEnglishRhythmRows, {7, 67, 68, 71});
    return language == 1 ? s_capitals : kEnglishRhythmRows;
}

const char* const* WaveformStatementRows(int language) {
    static const char* const* s_capitals = Capitals(kEnglishWaveformRows, {77});
    return language == 1 ? s_capitals : kEnglishWaveformRows;
}

const char* const* Zorvik21RhythmStatementRows() {
    return kZorvik21EnglishRows;
}

const char* StatementCodePage(int) {
    return "ASCII";
}

}  // namespace ecg_engine
