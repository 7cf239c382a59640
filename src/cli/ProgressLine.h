#pragma once

#include <QElapsedTimer>
#include <QString>

// The one line a long job keeps redrawing on stderr: what it works on, how far it is, the wall
// time since it began and its speed in multiples of real time. Drawn only when stderr is a
// terminal and --quiet was not given; a log or a pipe gets nothing.
class CProgressLine
{
public:
    CProgressLine();
    ~CProgressLine();
    CProgressLine(const CProgressLine&) = delete;
    CProgressLine& operator=(const CProgressLine&) = delete;

    bool IsShown() const { return m_shown; }
    // percent done (kNoPercent when not known) and the seconds of sound handled so far.
    void Update(const QString& label, int percent, double soundSeconds);
    // Draws the last state once more and ends the line, so what follows starts on its own line.
    void End();

    // The text of one line, without the redraw codes.
    static QString Text(const QString& label, int percent, double soundSeconds, qint64 wallMs);
    // The percent of done out of total, 0 to 100; kNoPercent when total is not known.
    static int Percent(double done, double total);

    static constexpr int kNoPercent = -1;

private:
    void Draw();

    bool m_shown = false;
    bool m_drawn = false;
    QElapsedTimer m_clock;
    qint64 m_lastDrawMs = 0;
    QString m_label;
    int m_percent = kNoPercent;
    double m_soundSeconds = 0;
};
