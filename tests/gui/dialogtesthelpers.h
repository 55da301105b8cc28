#pragma once

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

namespace sonavell::test {

// Handles the next modal window of type T once it is up (inside its own event loop), then
// stops watching. Keep the object alive until the modal window has been handled.
template <typename T> class NextModal
{
public:
    explicit NextModal(std::function<void(T *)> handler) : m_handler(std::move(handler))
    {
        QTimer::singleShot(0, [this, alive = std::weak_ptr<int>(m_alive)] {
            if (!alive.expired())
                poll();
        });
    }
    bool handled() const { return m_handled; }

private:
    void poll()
    {
        if (auto *window = qobject_cast<T *>(QApplication::activeModalWidget())) {
            m_handled = true;
            m_handler(window);
            return;
        }
        if (++m_tries < 400)
            QTimer::singleShot(5, [this, alive = std::weak_ptr<int>(m_alive)] {
                if (!alive.expired())
                    poll();
            });
    }

    std::function<void(T *)> m_handler;
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
    bool m_handled = false;
    int m_tries = 0;
};

// Answers the next message box with OK and keeps its text.
class MessageBoxAnswer
{
public:
    MessageBoxAnswer()
        : m_modal([this](QMessageBox *box) {
              m_text = box->text();
              box->done(QMessageBox::Ok);
          })
    {
    }
    QString text() const { return m_text; }

private:
    QString m_text;
    NextModal<QMessageBox> m_modal;
};

#ifdef SONAVELL_SCREENSHOT_DIR
inline void saveScreenshot(QWidget &widget, const QString &name)
{
    QDir().mkpath(QStringLiteral(SONAVELL_SCREENSHOT_DIR));
    widget.grab().save(QStringLiteral(SONAVELL_SCREENSHOT_DIR) + QLatin1Char('/') + name);
}
#endif

} // namespace sonavell::test
