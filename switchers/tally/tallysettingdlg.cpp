#include "tallysettingdlg.h"

#include "appsettings.h"
#include "visca.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

constexpr int kSlots = 8;

QComboBox *editableCombo(const QStringList &items, const QString &current, const QString &name,
                         QWidget *parent)
{
    auto *combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->addItem(QString());
    combo->addItems(items);
    combo->setCurrentText(current);
    combo->setMinimumContentsLength(12);
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    return combo;
}

QLineEdit *bytesEdit(const QString &text, const QString &name, QWidget *parent)
{
    auto *edit = new QLineEdit(text, parent);
    edit->setObjectName(name);
    edit->setPlaceholderText(QStringLiteral("81 01 .. FF"));
    edit->setMinimumWidth(150);
    return edit;
}

} // namespace

TallySettingDlg::TallySettingDlg(AppSettings *settings, const QStringList &cameraNames,
                                 const QStringList &obsScenes, const QStringList &vmixInputs,
                                 QWidget *parent)
    : QDialog(parent), m_settings(settings)
{
    setObjectName(QStringLiteral("tallysettingdlg"));
    setWindowTitle(QStringLiteral("Tally Setting"));
    // The panel's dark dialogs; the rest comes from the parent window.
    setStyleSheet(QStringLiteral("#tallysettingdlg { background-color: #333333; }"
                                 "QLabel { color: white; }"
                                 "QLineEdit:disabled { color: #8a8a8a; background: #262626; }"
                                 "QToolTip { color: black; }"));
    auto *grid = new QGridLayout;
    const QStringList heads{QStringLiteral("Camera"),        QStringLiteral("OBS scene"),
                            QStringLiteral("vMix input"),    QStringLiteral("Command"),
                            QStringLiteral("Program bytes"), QStringLiteral("Preview bytes"),
                            QStringLiteral("Idle bytes")};
    for (int c = 0; c < heads.size(); ++c)
        grid->addWidget(new QLabel(heads.at(c), this), 0, c);
    for (int i = 0; i < kSlots; ++i) {
        const int slot = i + 1;
        const TallySlotSetting t = m_settings->tallySlot(slot);
        Row row;
        row.obs = editableCombo(obsScenes, t.obs, QStringLiteral("obsScene%1").arg(slot), this);
        row.vmix = editableCombo(vmixInputs, t.vmix, QStringLiteral("vmixInput%1").arg(slot), this);
        row.command = new QComboBox(this);
        row.command->setObjectName(QStringLiteral("command%1").arg(slot));
        row.command->addItems(
            {QStringLiteral("Off"), QStringLiteral("Tally lamp"), QStringLiteral("Custom")});
        row.command->setCurrentIndex(qBound(0, t.command, 2));
        row.program = bytesEdit(t.program, QStringLiteral("programBytes%1").arg(slot), this);
        row.preview = bytesEdit(t.preview, QStringLiteral("previewBytes%1").arg(slot), this);
        row.off = bytesEdit(t.off, QStringLiteral("offBytes%1").arg(slot), this);
        const QString name = cameraNames.value(i);
        grid->addWidget(new QLabel(name.isEmpty() ? QStringLiteral("Camera %1").arg(slot)
                                                  : QStringLiteral("%1. %2").arg(slot).arg(name),
                                   this),
                        slot, 0);
        grid->addWidget(row.obs, slot, 1);
        grid->addWidget(row.vmix, slot, 2);
        grid->addWidget(row.command, slot, 3);
        grid->addWidget(row.program, slot, 4);
        grid->addWidget(row.preview, slot, 5);
        grid->addWidget(row.off, slot, 6);
        connect(row.command, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                [this, row] { updateRow(row); });
        updateRow(row);
        m_rows.append(row);
    }

    auto *protectRow = new QHBoxLayout;
    protectRow->addWidget(new QLabel(QStringLiteral("Camera on program:"), this));
    m_protect = new QComboBox(this);
    m_protect->setObjectName(QStringLiteral("protectLive"));
    m_protect->addItems({QStringLiteral("Not protected"), QStringLiteral("Refuse preset recalls"),
                         QStringLiteral("Refuse preset recalls and moves")});
    m_protect->setCurrentIndex(qBound(0, m_settings->protectLive(), 2));
    protectRow->addWidget(m_protect);
    protectRow->addStretch(1);

    m_problem = new QLabel(this);
    m_problem->setObjectName(QStringLiteral("problemLabel"));
    m_problem->setStyleSheet(QStringLiteral("QLabel{color : #ff6b6b;}"));
    m_problem->hide();

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &TallySettingDlg::save);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(protectRow);
    layout->addWidget(m_problem);
    layout->addWidget(buttons);
}

QString TallySettingDlg::problem() const
{
    return m_problem->text();
}

void TallySettingDlg::updateRow(const Row &row)
{
    const bool custom = row.command->currentIndex() == 2;
    for (QLineEdit *edit : {row.program, row.preview, row.off})
        edit->setEnabled(custom);
}

void TallySettingDlg::save()
{
    QVector<TallySlotSetting> out;
    for (int i = 0; i < m_rows.size(); ++i) {
        const Row &row = m_rows.at(i);
        TallySlotSetting t;
        t.obs = row.obs->currentText().trimmed();
        t.vmix = row.vmix->currentText().trimmed();
        t.command = row.command->currentIndex();
        const struct
        {
            QLineEdit *edit;
            QString *into;
            const char *what;
        } fields[] = {{row.program, &t.program, "program"},
                      {row.preview, &t.preview, "preview"},
                      {row.off, &t.off, "idle"}};
        for (const auto &f : fields) {
            const QString text = f.edit->text().trimmed();
            if (text.isEmpty())
                continue;
            const QByteArray bytes = Visca::parseCustomCommand(text);
            if (bytes.isEmpty()) {
                if (t.command == 2) {
                    m_problem->setText(
                        QStringLiteral("Camera %1, %2 bytes: not a VISCA message "
                                       "(8x ... FF, at most %3 bytes in hexadecimal)")
                            .arg(i + 1)
                            .arg(QLatin1String(f.what))
                            .arg(Visca::kMaxCustomCommandLength));
                    m_problem->show();
                    f.edit->setFocus();
                    return;
                }
                *f.into = text; // kept as typed; unused while not custom
            } else {
                *f.into = Visca::formatCommand(bytes);
            }
        }
        out.append(t);
    }
    for (int i = 0; i < out.size(); ++i)
        m_settings->setTallySlot(i + 1, out.at(i));
    m_settings->setProtectLive(m_protect->currentIndex());
    m_problem->clear();
    m_problem->hide();
    emit saved();
    accept();
}
