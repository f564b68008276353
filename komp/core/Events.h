#pragma once
// Event types shared by the components: a handler is called with its sender.
#include <functional>

class QObject;
using TNotifyEvent = std::function<void(QObject *sender)>;
