#include <windows.h>

#include "Signal.h"

Signal::Signal() : m_event(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    if (m_event == nullptr) m_fault = {static_cast<int>(::GetLastError()), std::system_category()};
}

Signal::~Signal() {
    if (m_event != nullptr) ::CloseHandle(m_event);
}

void Signal::Raise() {
    ::SetEvent(m_event);
}

void Signal::Clear() {
    ::ResetEvent(m_event);
}

bool Signal::WaitFor(std::chrono::milliseconds limit) const {
    return ::WaitForSingleObject(m_event, static_cast<DWORD>(limit.count())) == WAIT_OBJECT_0;
}
