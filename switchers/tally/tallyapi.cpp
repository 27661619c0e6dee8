#include "tallyapi.h"

#include "httpserverwrapper.h"
#include "tallymodel.h"

#include <QJsonArray>

TallyApiHandler::TallyApiHandler(TallyModel *model, QObject *parent)
    : QObject(parent), m_model(model)
{
}

void TallyApiHandler::attach(HttpServerWrapper *server)
{
    connect(server, &HttpServerWrapper::getTally, this,
            [this](qhttp::server::QHttpResponse *r) { sendApiAnswer(r, tally()); });
}

ApiAnswer TallyApiHandler::tally() const
{
    QJsonArray data;
    for (int i = 0; i < TallyModel::kSlots; ++i) {
        data.append(
            QJsonObject{{QStringLiteral("camNum"), i + 1},
                        {QStringLiteral("state"), TallyModel::stateName(m_model->state(i))}});
    }
    return ApiAnswer::okay({{QStringLiteral("data"), data}});
}
