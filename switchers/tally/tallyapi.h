#pragma once

#include "apianswer.h"

#include <QObject>

class HttpServerWrapper;
class TallyModel;

// The "/cam/tally" route: "data" holds one {"camNum": 1-8, "state":
// "program" | "preview" | "idle"} per camera slot, slot 1 first, in the
// usual envelope. Main thread only.
class TallyApiHandler : public QObject
{
    Q_OBJECT
public:
    // model must outlive the handler.
    explicit TallyApiHandler(TallyModel *model, QObject *parent = nullptr);

    void attach(HttpServerWrapper *server);
    ApiAnswer tally() const;

private:
    TallyModel *m_model;
};
