// A boat riding on animated waves: the sign that work is under way.
//
// Still or sailing. start() begins sailing and stop() ends it; neither acts twice. While sailing and
// visible, a 1/30 s timer advances the phase by 0.09 and repaints; a hidden view keeps its sailing state
// but runs no timer. The boat is drawn only while sailing. Two configurations are in use: the slim
// progress row (compact()) and the full-size busy view (immersive()), which tilts the boat with the
// wave and draws a foreground wave in front of it. GUI thread only.
#pragma once

#include <QBasicTimer>
#include <QColor>
#include <QPixmap>
#include <QWidget>

#include <optional>

class VoyageProgressView : public QWidget {
    Q_OBJECT
public:
    struct Configuration {
        double boatSide;
        double amplitude;
        double wavelength;
        double waterlineFraction;
        bool immersive;
    };
    // The progress row, 200 x 26.
    static constexpr Configuration compact() { return {20, 2.2, 30, 0.52, false}; }
    // The full-size busy view.
    static constexpr Configuration immersive() { return {76, 9, 220, 0.42, true}; }

    explicit VoyageProgressView(const Configuration& configuration = compact(), QWidget* parent = nullptr);

    const Configuration& configuration() const { return m_configuration; }
    void setBoatColor(std::optional<QColor> color);
    double phase() const { return m_phase; }

    void startVoyage();
    void stopVoyage();
    bool isSailing() const { return m_sailing; }
    // The animation timer runs (sailing and visible).
    bool isTimerRunning() const { return m_timer.isActive(); }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void updateTimer();
    const QPixmap& boatPixmap(int side, const QColor& tint);

    Configuration m_configuration;
    std::optional<QColor> m_boatColor;
    double m_phase = 0;
    bool m_sailing = false;
    QBasicTimer m_timer;
    QPixmap m_boatPixmap; // the boat of the last frame, kept while side, tint and scale stay
    int m_boatSide = 0;
    QColor m_boatTint;
};
