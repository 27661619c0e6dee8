#pragma once

#include <QString>
#include <QStringList>

// Fixed value tables of the exposure, image and colour panel. List indices are
// the combo box indices; the camera bytes are those of the VISCA exposure and
// white-balance commands and inquiries.
namespace ExposureTables {

constexpr int kAeModeCount = 5;   // Auto, Manual, SAE, AAE, Brightness
constexpr int kIrisCount = 13;    // camera iris value 0-12 == list index
constexpr int kShutterCount = 17; // camera shutter value 1-17 == list index + 1
constexpr int kBrightCount = 18;  // camera brightness 0-17 == list index
constexpr int kWbModeCount = 5;   // Auto, Indoor, Outdoor, OnePush, Manual
constexpr int kSliderMin = 0;     // luminance, contrast and hue sliders
constexpr int kSliderMax = 14;
constexpr int kSliderPageStep = 3;

// AE mode list index of the scene presets and of the enabling table.
enum AeModeIndex
{
    AeAuto = 0,
    AeManual = 1,
    AeShutterPriority = 2, // "SAE"
    AeIrisPriority = 3,    // "AAE"
    AeBrightness = 4
};

// White-balance list index whose mode takes a one-push trigger.
constexpr int kWbOnePushIndex = 3;

const QStringList &aeModeNames();
const QStringList &irisNames();
const QStringList &shutterNames();
const QStringList &brightNames();
const QStringList &wbModeNames();

// AE mode list index for a camera exposure-mode byte (0x00, 0x03, 0x0A, 0x0B,
// 0x0D); -1 for any other byte.
int aeModeIndexFromByte(int cameraByte);
// White-balance list index for a camera white-balance byte: 0x00-0x03 map to
// themselves, 0x05 to 4 ("Manual"); -1 for any other byte.
int wbIndexFromByte(int cameraByte);
// Shutter list index for a camera shutter value 1-17 (value - 1); -1 when the
// value lies outside the table. Callers treat 0 as 1 beforehand.
int shutterIndexFromValue(int cameraValue);
// Iris list index for a camera iris value 0-12; -1 outside the table.
int irisIndexFromValue(int cameraValue);

// Status-bar texts: the table entry for a camera value inside the table, the
// raw decimal value otherwise ("Iris:15"), so no value indexes past a table.
QString irisStatusText(int cameraValue);    // "Iris:F2.8"
QString shutterStatusText(int cameraValue); // "Shutter:1/60"; value 0 is not special here
QString brightStatusText(int cameraValue);  // "Bright:5"

} // namespace ExposureTables
