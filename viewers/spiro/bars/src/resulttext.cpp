#include "pulmetra/bars/resulttext.h"

#include "acq_server/reports/conversioncontrols.h"
#include "acq_server/reports/spirotextreport.h"
#include "platform/atomicfile.h"
#include "spiro_control/host/flowlin.h"

namespace pulmetra {

std::string ResultText(acq_reports::ISpiroReportValues& values) {
    acq_reports::SSpiroInfoOptions options;
    options.bHeightWeightAsStored = true;
    options.bPrePostDiagnosis = false;
    return acq_reports::SpiroInformationReportText(values, options);
}

bool WriteResultText(acq_reports::ISpiroReportValues& values, const std::string& strPath) {
    return platform::WriteFileAtomically(strPath, ResultText(values));
}

bool WriteResultText(CFlowlin& control, const std::string& strPath) {
    CFlowlinConversion values(control);
    return WriteResultText(values, strPath);
}

}  // namespace pulmetra
