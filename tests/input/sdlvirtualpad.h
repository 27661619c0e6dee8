#pragma once

#include <SDL.h>

#include <QByteArray>

// An SDL virtual joystick (6 axes, 1 hat, 12 buttons) plugged in for the
// lifetime of the object; SDL's joystick subsystem must be initialised. Its
// axes follow the classic pad layout (0/1 left stick, 2 left trigger, 3/4
// right stick, 5 right trigger), all resting at 0.
// Changes reach SDL's event queue at its next poll.
class SdlVirtualPad
{
public:
    explicit SdlVirtualPad(const char *name = "Corvanta Test Pad") : m_name(name)
    {
        SDL_VirtualJoystickDesc desc;
        SDL_zero(desc);
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.naxes = 6, desc.nbuttons = 12, desc.nhats = 1, desc.name = m_name.constData();
        const int index = SDL_JoystickAttachVirtualEx(&desc);
        m_instance = index >= 0 ? SDL_JoystickGetDeviceInstanceID(index) : -1;
        m_handle = index >= 0 ? SDL_JoystickOpen(index) : nullptr;
    }
    ~SdlVirtualPad() { unplug(); }
    SdlVirtualPad(const SdlVirtualPad &) = delete;

    bool isValid() const { return m_handle != nullptr; }
    void setAxis(int axis, Sint16 value) { SDL_JoystickSetVirtualAxis(m_handle, axis, value); }
    void setHat(int hat, Uint8 value) { SDL_JoystickSetVirtualHat(m_handle, hat, value); }
    void setButton(int b, bool down) { SDL_JoystickSetVirtualButton(m_handle, b, down); }
    void unplug()
    {
        if (!m_handle)
            return;
        SDL_JoystickClose(m_handle);
        m_handle = nullptr;
        for (int i = SDL_NumJoysticks() - 1; i >= 0; --i)
            if (SDL_JoystickGetDeviceInstanceID(i) == m_instance)
                SDL_JoystickDetachVirtual(i);
    }

private:
    QByteArray m_name;
    SDL_JoystickID m_instance = -1;
    SDL_Joystick *m_handle = nullptr;
};
