#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>

#include <optional>

// One input of the vMix status document.
struct VMixInput
{
    QString title;      // attribute "title"
    QString key;        // attribute "key", vMix's unique input key
    QString volume;     // attribute "volume" as text; empty when absent
    bool muted = false; // attribute "muted" equals "True"
    // attribute "number"; the 1-based position in the document when absent
    QString number;
};

// What one well-formed status document says. The master fields are set only
// when the document has a "master" element (hasMaster).
struct VMixStatus
{
    QList<VMixInput> inputs;
    bool streaming = false;
    bool recording = false;
    bool playListOn = false;
    bool hasMaster = false;
    bool masterMuted = false;
    double masterVolume = 0.0;
    // Texts of the "active" (program) and "preview" elements directly below
    // the document element: input numbers; empty when absent.
    QString active;
    QString preview;
};

// vMix HTTP function interface: the status document at "/api" and the
// functions at "/api/?function=Name&param=value...".
namespace VMixProtocol {

// vMix's input and master volume range.
constexpr double kMinVolume = 0.0;
constexpr double kMaxVolume = 100.0;
// Bounds of a status document we accept.
constexpr int kMaxInputs = 1000;
constexpr int kMaxDepth = 64;

struct Endpoint
{
    QString host;
    int port = 8088;
    QString userName;
    QString password;
};

// http://host:port/api with the user name and password as the URL's user
// information (percent-encoded by QUrl, used for HTTP basic authentication).
// Invalid when the host or port cannot form a URL.
QUrl statusUrl(const Endpoint &endpoint);

// http://host:port/api/?function=<function>&<key>=<value>..., every key and
// value percent-encoded (including "&", "=", "+", "#"). An empty function
// gives the bare "/api/?" URL.
QUrl functionUrl(const Endpoint &endpoint, const QString &function,
                 const QList<QPair<QString, QString>> &params = {});

// The URL without user information, for logs.
QString redacted(const QUrl &url);

// printf "%g" with precision 6: up to 6 significant digits, trailing zeros
// dropped (72.50 -> "72.5").
QString formatVolume(double volume);

// A non-finite volume becomes kMinVolume; others are clamped to the range.
double sanitizeVolume(double volume);

// The function of a transition number: 0 "QuickPlay", 1 "Cut",
// 2-5 "Transition1"-"Transition4", 6 "FadeToBlack"; empty for others.
QString transitionFunction(int n);
// Whether that function takes "input=0".
bool transitionTakesInput(int n);

// Parses a status document: every "input" element below the document
// element in document order (at most kMaxInputs; later ones are ignored), the
// text of the last "streaming", "recording" and "playList" elements equal to
// "True", and the last "master" element's "volume" (0 when not a finite
// number) and "muted". Returns nothing when the body is not well-formed XML,
// carries a DTD, or nests deeper than kMaxDepth.
std::optional<VMixStatus> parseStatus(const QByteArray &body);

} // namespace VMixProtocol
