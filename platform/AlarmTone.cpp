#include "platform/AlarmTone.h"

#include <QApplication>
#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QCoreApplication>
#include <QMediaDevices>
#include <cmath>

QByteArray SynthesiseAlarm(int sampleRate, const ToneShape& shape) {
    const int beepSamples = sampleRate * shape.beepMs / 1000;
    const int gapSamples = sampleRate * shape.gapMs / 1000;
    const int total = shape.beeps * beepSamples + (shape.beeps - 1) * gapSamples;
    QByteArray pcm(total * 2, '\0');
    auto* out = reinterpret_cast<qint16*>(pcm.data());
    constexpr double pi = 3.14159265358979323846;
    // A 3 ms ramp at each edge keeps the beeps free of clicks.
    const int ramp = sampleRate * 3 / 1000;
    for (int beep = 0; beep < shape.beeps; ++beep) {
        qint16* start = out + beep * (beepSamples + gapSamples);
        for (int i = 0; i < beepSamples; ++i) {
            double envelope = 1.0;
            if (i < ramp)
                envelope = static_cast<double>(i + 1) / ramp;
            else if (beepSamples - i <= ramp)
                envelope = static_cast<double>(beepSamples - i) / ramp;
            const double value =
                std::sin(2 * pi * shape.frequencyHz * static_cast<double>(i) / sampleRate);
            start[i] = static_cast<qint16>(std::lround(12000.0 * envelope * value));
        }
    }
    return pcm;
}

CAlarmTone::CAlarmTone(QObject* parent) : QObject(parent) {
    m_bellTimer.setInterval(m_shape.beepMs + m_shape.gapMs);
    connect(&m_bellTimer, &QTimer::timeout, this, [this] {
        QApplication::beep();
        if (--m_nBellsLeft <= 0)
            m_bellTimer.stop();
    });
    m_doneTimer.setSingleShot(true);
    connect(&m_doneTimer, &QTimer::timeout, this, &CAlarmTone::Finished);
}

CAlarmTone::~CAlarmTone() {
    if (m_pSink)
        m_pSink->stop();
}

int CAlarmTone::TotalMs() const {
    return m_shape.beeps * m_shape.beepMs + (m_shape.beeps - 1) * m_shape.gapMs;
}

bool CAlarmTone::Play() {
    if (m_bSounding)
        return false;
    m_bSounding = true;
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (!device.isNull()) {
        QAudioFormat format;
        format.setSampleRate(device.preferredFormat().sampleRate() > 0
                                 ? device.preferredFormat().sampleRate()
                                 : 48000);
        format.setChannelCount(1);
        format.setSampleFormat(QAudioFormat::Int16);
        if (device.isFormatSupported(format)) {
            if (!m_pSink || m_pSink->format() != format) {
                delete m_pSink;
                m_pSink = new QAudioSink(device, format, this);
                m_pcm = SynthesiseAlarm(format.sampleRate(), m_shape);
                connect(m_pSink, &QAudioSink::stateChanged, this, [this] {
                    if (m_pSink->error() != QAudio::NoError &&
                        m_pSink->error() != QAudio::UnderrunError)
                        ReportUnavailable(QCoreApplication::translate(
                            "AlarmTone", "报警声音无法播放：音频输出出错"));
                });
            }
            m_pBuffer = std::make_unique<QBuffer>(&m_pcm);
            m_pBuffer->open(QIODevice::ReadOnly);
            m_pSink->start(m_pBuffer.get());
            // The sink drains asynchronously; the alarm counts as sounding
            // for its whole length, whatever the device's buffering.
            m_doneTimer.start(TotalMs());
            return true;
        }
    }
    // No usable audio output: the bell, three times, on the same rhythm.
    ReportUnavailable(
        device.isNull()
            ? QCoreApplication::translate("AlarmTone", "报警声音无法播放：没有可用的音频输出设备")
            : QCoreApplication::translate("AlarmTone", "报警声音无法播放：音频设备不支持所需格式"));
    QApplication::beep();
    m_nBellsLeft = m_shape.beeps - 1;
    m_bellTimer.start();
    m_doneTimer.start(TotalMs());
    return true;
}

void CAlarmTone::Finished() {
    if (m_pSink)
        m_pSink->stop();
    m_bellTimer.stop();
    m_bSounding = false;
}

void CAlarmTone::ReportUnavailable(const QString& reason) {
    if (m_bReportedUnavailable)
        return;
    m_bReportedUnavailable = true;
    emit Unavailable(reason);
}
