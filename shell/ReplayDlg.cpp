#include "shell/ReplayDlg.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>

namespace {
QString TimeSourceText(RecordTimeSource source, const std::string& note) {
    // The timing file (or the clock sentences) there but left aside, and why.
    if (!note.empty() && source == RecordTimeSource::SentenceClock)
        return QCoreApplication::translate("ReplayDlg",
                                           "时间来源：按 GGA/RMC/ZDA 语句中的时间（%1）")
            .arg(QString::fromStdString(note));
    if (!note.empty() && source == RecordTimeSource::Assumed)
        return QCoreApplication::translate("ReplayDlg", "时间来源：按每秒 10 条估计（%1）")
            .arg(QString::fromStdString(note));
    switch (source) {
    case RecordTimeSource::TimingFile:
        return QCoreApplication::translate("ReplayDlg",
                                           "时间来源：接收时间文件（与记录时完全一致）");
    case RecordTimeSource::SentenceClock:
        return QCoreApplication::translate(
            "ReplayDlg", "时间来源：没有接收时间文件，按 GGA/RMC/ZDA 语句中的时间");
    case RecordTimeSource::Assumed:
        return QCoreApplication::translate(
            "ReplayDlg", "时间来源：没有接收时间文件和时间语句，按每秒 10 条估计");
    case RecordTimeSource::None:
        break;
    }
    return QCoreApplication::translate("ReplayDlg", "时间来源：无");
}
} // namespace

const std::vector<double>& CReplayDlg::Speeds() {
    static const std::vector<double> speeds = {0.25, 0.5, 1, 2, 5, 10, CReplaySource::kFastest};
    return speeds;
}

QString CReplayDlg::SpeedText(double speed) {
    return speed == CReplaySource::kFastest ? QCoreApplication::translate("ReplayDlg", "最快")
                                            : QString::number(speed) + "×";
}

CReplayDlg::CReplayDlg(QObject* eventTarget, QWidget* parent)
    : QDialog(parent), m_listener(eventTarget), m_pSession(std::make_unique<CInstrumentSession>(
                                                    &m_listener, CInstrumentSession::Role::Replay)),
      m_pSource(&m_pSession->UseSource(std::make_unique<CReplaySource>())) {
    setWindowTitle(QCoreApplication::translate("ReplayDlg", "数据回放"));
    setModal(false);
    // A window the displays are compared with: small messages in the session's
    // queue are enough for the serial monitor, the rest the window skips.
    m_pSession->Queue().SetCap(std::size_t{4} << 20);

    m_pFile = new QLabel(this);
    m_pTimes = new QLabel(this);
    m_pPosition = new QLabel(this);
    m_pSlider = new QSlider(Qt::Horizontal, this);
    m_pSlider->setRange(0, kSliderSteps);
    m_pSpeed = new QComboBox(this);
    for (double speed : Speeds())
        m_pSpeed->addItem(SpeedText(speed));
    m_pPause = new QPushButton(QCoreApplication::translate("ReplayDlg", "暂停"), this);
    m_pStep = new QPushButton(QCoreApplication::translate("ReplayDlg", "单步"), this);
    m_pEnd = new QPushButton(QCoreApplication::translate("ReplayDlg", "结束回放"), this);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(new QLabel(QCoreApplication::translate("ReplayDlg", "速度："), this));
    buttons->addWidget(m_pSpeed);
    buttons->addWidget(m_pPause);
    buttons->addWidget(m_pStep);
    buttons->addStretch();
    buttons->addWidget(m_pEnd);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pFile);
    layout->addWidget(m_pTimes);
    layout->addWidget(m_pSlider);
    layout->addWidget(m_pPosition);
    layout->addLayout(buttons);

    connect(m_pSpeed, &QComboBox::activated, this, &CReplayDlg::OnSpeedChosen);
    connect(m_pPause, &QPushButton::clicked, this, &CReplayDlg::OnPauseClicked);
    connect(m_pStep, &QPushButton::clicked, this, [this] { m_pSource->Step(); });
    connect(m_pEnd, &QPushButton::clicked, this, &CReplayDlg::reject);
    // A drag seeks once, where it is let go; a click or a key at once.
    connect(m_pSlider, &QSlider::sliderReleased, this, &CReplayDlg::OnSliderMoved);
    connect(m_pSlider, &QSlider::actionTriggered, this, [this](int action) {
        if (action != QAbstractSlider::SliderMove)
            QMetaObject::invokeMethod(this, &CReplayDlg::OnSliderMoved, Qt::QueuedConnection);
    });
    m_timer.setInterval(kRefreshMs);
    connect(&m_timer, &QTimer::timeout, this, &CReplayDlg::Refresh);
}

CReplayDlg::~CReplayDlg() = default;

bool CReplayDlg::Open(const QString& path, QString* error) {
    std::string reason;
    if (!m_pSource->Open(path.toStdString(), &reason)) {
        *error = QCoreApplication::translate("ReplayDlg", "无法回放记录文件：%1\n%2")
                     .arg(path, QString::fromStdString(reason));
        return false;
    }
    QStringList labels;
    for (const FurtherRecord& record : FurtherRecords(path.toStdString())) {
        auto source = std::make_unique<CReplaySource>();
        if (!source->Open(record.strPath, &reason))
            continue;
        source->PlayInStepWith(*m_pSource);
        m_further.push_back(source.get());
        m_pSession->AddSource(record.strLabel, std::move(source));
        labels << QString::fromStdString(record.strLabel);
    }
    QString file =
        QCoreApplication::translate("ReplayDlg", "记录文件：") + QFileInfo(path).fileName();
    if (!labels.isEmpty()) {
        // Named in the displays and 数据状态 by its file, the others by their labels.
        m_pSession->SetFirstSourceLabel(QFileInfo(path).fileName().toStdString());
        file +=
            QCoreApplication::translate("ReplayDlg", "（另有数据源：%1）").arg(labels.join("、"));
    }
    m_pFile->setText(file);
    m_pFile->setToolTip(path);
    m_pTimes->setText(TimeSourceText(m_pSource->TimeSource(), m_pSource->TimeSourceNote()));
    return true;
}

void CReplayDlg::Start(double speed) {
    const auto& speeds = Speeds();
    const auto at = std::find(speeds.begin(), speeds.end(), speed);
    m_pSpeed->setCurrentIndex(at == speeds.end() ? 2 : static_cast<int>(at - speeds.begin()));
    m_pSource->SetSpeed(speed);
    m_pSession->Start();
    m_timer.start();
    Refresh();
}

QString CReplayDlg::StatusText() const {
    const CReplaySource::Status status = m_pSource->CurrentStatus();
    QString text = QCoreApplication::translate("ReplayDlg", "回放");
    if (status.nUtcMs != 0) {
        const QDateTime time = QDateTime::fromMSecsSinceEpoch(status.nUtcMs, Qt::UTC);
        text +=
            " " + time.toString("yyyy-MM-dd HH:mm:ss.") + QString::number(time.time().msec() / 100);
    }
    text += " (" + SpeedText(status.dSpeed);
    if (status.bFinished)
        text += QCoreApplication::translate("ReplayDlg", "，已结束");
    else if (status.bPaused)
        text += QCoreApplication::translate("ReplayDlg", "，暂停");
    return text + ")";
}

void CReplayDlg::Refresh() {
    const CReplaySource::Status status = m_pSource->CurrentStatus();
    m_pPosition->setText(QCoreApplication::translate("ReplayDlg", "%1，第 %2 条")
                             .arg(StatusText())
                             .arg(status.nIndex));
    m_pPause->setText(status.bPaused ? QCoreApplication::translate("ReplayDlg", "继续")
                                     : QCoreApplication::translate("ReplayDlg", "暂停"));
    if (!m_pSlider->isSliderDown() && m_pSource->Length() > 0) {
        const double part =
            static_cast<double>(status.nOffset) / static_cast<double>(m_pSource->Length());
        const QSignalBlocker quiet(m_pSlider);
        m_pSlider->setValue(static_cast<int>(part * kSliderSteps));
    }
}

void CReplayDlg::OnSpeedChosen(int index) {
    if (index >= 0 && index < static_cast<int>(Speeds().size()))
        m_pSource->SetSpeed(Speeds()[static_cast<std::size_t>(index)]);
    Refresh();
}

void CReplayDlg::OnPauseClicked() {
    m_pSource->SetPaused(!m_pSource->CurrentStatus().bPaused);
    Refresh();
}

void CReplayDlg::OnSliderMoved() {
    const double part = static_cast<double>(m_pSlider->value()) / kSliderSteps;
    m_pSource->SeekTo(static_cast<std::uint64_t>(part * static_cast<double>(m_pSource->Length())));
}

void CReplayDlg::reject() {
    // Closing the window (its close box and Esc come here too) ends the replay.
    QDialog::reject();
    if (!m_bEnded) {
        m_bEnded = true;
        emit Ended();
    }
}

QPoint ReplayWindowPlace(const QRect& screen, const QRect& frame, const QRect& dials,
                         QSize window) {
    const int w = window.width(), h = window.height();
    const QPoint candidates[] = {
        {frame.right() + 1, dials.top()},     // right of the main window
        {frame.left() - w, dials.top()},      // left of it
        {frame.right() + 1 - w, dials.top()}, // inside, at its right edge
        {dials.left(), dials.bottom() + 1},   // below the dials
        {dials.left(), dials.top() - h},      // above them
    };
    QPoint best;
    qint64 least = -1;
    for (QPoint at : candidates) {
        // Moved onto the screen where it would stand out of it.
        at.setX(std::clamp(at.x(), screen.left(), std::max(screen.left(), screen.right() + 1 - w)));
        at.setY(std::clamp(at.y(), screen.top(), std::max(screen.top(), screen.bottom() + 1 - h)));
        const QRect covered = QRect(at, window).intersected(dials);
        const qint64 area = covered.isEmpty() ? 0 : qint64{covered.width()} * covered.height();
        if (least < 0 || area < least) {
            best = at;
            least = area;
        }
        if (area == 0)
            break;
    }
    return best;
}
