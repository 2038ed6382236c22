#include "core/contacts.h"

#include "runtime/store/store.h"

namespace core {

namespace st = runtime::store;

Contact readContact() {
    return Contact{st::valueText(st::readField(kContactNameField)),
                   st::valueText(st::readField(kContactPhoneField)),
                   st::valueText(st::readField(kContactRemarkField))};
}

}  // namespace core
