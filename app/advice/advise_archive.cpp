// Interval advice over the instruments of an archive.
#include "advice/advice.h"
#include "archive/archive.h"
#include "workspace/certificates.h"
#include "workspace/store.h"

namespace kvtapp {

std::vector<IntervalAdvice> intervalAdvice(const Workspace& workspace, kvtarchive::Archive& archive,
                                           int64_t today) {
    std::vector<IntervalAdvice> list;
    for (const Instrument& i : instrumentsOf(workspace, archive, today)) {
        if (size_t(i.calibrations) < kAdviceMinimum) continue;
        std::vector<Calibration> history = archive.history(i.tag);
        for (Calibration& c : history)
            judgeByLab(workspace, archive, c);
        list.push_back(adviseInterval(i.tag, asFoundPoints(history), i.intervalDays));
    }
    return list;
}

}  // namespace kvtapp
