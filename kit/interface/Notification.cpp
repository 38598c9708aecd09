#include "kit/interface/Notification.h"

#include "kit/qt/Bridge.h"

namespace kit {

void Notify(const std::string& summary, const std::string& body) {
    qt::Notify(summary, body);
}

}  // namespace kit
