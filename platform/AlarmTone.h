// The alarm: three beeps of 600 Hz, 300 ms each, 50 ms apart, played without
// blocking the caller. An alarm already sounding is neither restarted nor
// queued. Where the machine has no audio output the system bell is used, and
// that the tone cannot be heard is said once.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <memory>

class QAudioSink;
class QBuffer;

struct ToneShape {
    int frequencyHz = 600;
    int beepMs = 300;
    int gapMs = 50;
    int beeps = 3;
};

// 16-bit signed little-endian mono PCM of the whole alarm.
QByteArray SynthesiseAlarm(int sampleRate, const ToneShape& shape = ToneShape());

class CAlarmTone : public QObject {
    Q_OBJECT
public:
    explicit CAlarmTone(QObject* parent = nullptr);
    ~CAlarmTone() override;

    // Starts the alarm unless one is sounding; true when it started.
    bool Play();
    // Stops a tone that is sounding (the alarm was silenced or acknowledged).
    void Stop() { Finished(); }
    bool IsSounding() const { return m_bSounding; }
    int TotalMs() const;

signals:
    // The tone cannot be heard (no audio output, or it failed); said once.
    void Unavailable(const QString& reason);

private:
    void Finished();
    void ReportUnavailable(const QString& reason);

    ToneShape m_shape;
    QByteArray m_pcm;
    std::unique_ptr<QBuffer> m_pBuffer;
    QAudioSink* m_pSink = nullptr;
    QTimer m_bellTimer;
    QTimer m_doneTimer;
    int m_nBellsLeft = 0;
    bool m_bSounding = false;
    bool m_bReportedUnavailable = false;
};
