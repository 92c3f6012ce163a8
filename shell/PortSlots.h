// The port slots COM1..COM8 and the serial devices behind them.
//
// The operator thinks in port numbers; Linux names devices. A slot named in
// the settings (Ports/COM3=/dev/ttyUSB0, or better a /dev/serial/by-id link
// that survives replugging) keeps that device; the other slots are given, in a
// stable order, to the serial devices present, at start-up and as adapters
// are plugged in later.
#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

class CPortSlots {
public:
    // named: slot number -> device from the settings; present: devices found.
    void Assign(const QMap<int, QString>& named, const QStringList& present);
    // Devices plugged in since: each takes a free slot, the slot `preferred`
    // (the one in use) first when it has none. Slots keep their devices, so
    // an adapter that comes back finds its number again. True when a device
    // was new.
    bool Refresh(const QStringList& present, int preferred = 0);
    QString Device(int port) const;
    void SetDevice(int port, const QString& device);

    // Serial devices present now (USB and ACM adapters, real UARTs), in a
    // stable order: USB adapters, then ACM, then others, then on-board UARTs,
    // each by number.
    static QStringList PresentDevices();
    static void SortDevices(QStringList& devices);

private:
    QString m_devices[8];
};
