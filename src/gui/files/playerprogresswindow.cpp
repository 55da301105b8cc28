#include "gui/files/playerprogresswindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QProgressBar>
#include <QVBoxLayout>

namespace sonavell {

PlayerProgressWindow::PlayerProgressWindow(QWidget *owner)
    : QWidget(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_owner(owner),
      m_bar(new QProgressBar(this))
{
    setObjectName(QStringLiteral("PlayerProgressWindow"));
    setWindowTitle(QStringLiteral("Process of update MP3 Player the files play order ..."));
    setWindowModality(Qt::ApplicationModal);
    m_bar->setTextVisible(false);
    m_bar->setRange(0, 0);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(m_bar);
    resize(490, m_bar->sizeHint().height() + 12);
}

void PlayerProgressWindow::open(const QString &title)
{
    if (!title.isEmpty())
        setWindowTitle(title);
    if (m_owner)
        move(m_owner->frameGeometry().center() - rect().center());
    show();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void PlayerProgressWindow::setRange(int count)
{
    m_bar->setRange(0, count);
    m_bar->setValue(0);
}

void PlayerProgressWindow::step(int index)
{
    m_bar->setValue(index);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void PlayerProgressWindow::closeEvent(QCloseEvent *event)
{
    if (m_closing)
        event->accept();
    else
        event->ignore();
}

PlayerProgressScope::PlayerProgressScope(QWidget *owner, const QString &title)
    : m_window(new PlayerProgressWindow(owner))
{
    m_window->open(title);
}

PlayerProgressScope::~PlayerProgressScope()
{
    m_window->m_closing = true;
    m_window->close();
    delete m_window;
}

} // namespace sonavell
