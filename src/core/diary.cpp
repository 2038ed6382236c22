#include "core/diary.h"

#include "core/stores.h"
#include "runtime/store/store.h"

namespace core {

namespace st = runtime::store;

bool findDiaryRecordOfDay(runtime::DateTime day) {
    st::selectDatabase(kDiaryStore);
    st::goToFirstRecord();
    return st::findRecordOnDay(kDiaryDatePosition, day);
}

bool findDiaryRecordAt(runtime::DateTime when) {
    // The records of that day in store order, until one holds the very time.
    for (bool found = findDiaryRecordOfDay(when); found;
         found = st::skipRecords() && st::findRecordOnDay(kDiaryDatePosition, when)) {
        if (st::valueDate(st::readField(kDiaryDatePosition)) == when) return true;
    }
    return false;
}

DiaryRecord readDiaryRecord() {
    return DiaryRecord{st::valueDate(st::readField(kDiaryDatePosition)),
                       st::valueText(st::readField(kDiaryTextField))};
}

}  // namespace core
