#include "core/periodic_items.h"

#include "runtime/store/store.h"

namespace core {

namespace st = runtime::store;

PeriodicItem readPeriodicItem() {
    PeriodicItem item;
    item.startDate = st::valueDate(st::readField(kItemStartField));
    item.period = st::valueInt(st::readField(kItemPeriodField));
    item.unit = st::valueText(st::readField(kItemUnitField));
    item.text = st::valueText(st::readField(kItemTextField));
    return item;
}

}  // namespace core
