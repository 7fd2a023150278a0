#include "components/ui/QvFormState.h"

#include "app/settings/IniFile.h"
#include "store/AppError.h"
#include "store/pU_Funcs.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>

namespace quillpad {

namespace {

const QString SavedKey = QStringLiteral("Saved");
const QString LeftKey = QStringLiteral("Left");
const QString TopKey = QStringLiteral("Top");
const QString RightKey = QStringLiteral("Right");
const QString BottomKey = QStringLiteral("Bottom");
const QString MaximizedKey = QStringLiteral("Maximized");

}  // namespace

TQvFormState::TQvFormState(QWidget *owner) : QObject(owner), m_owner(owner)
{
    if (ownerIsForm())
        m_owner->installEventFilter(this);
}

TQvFormState::~TQvFormState()
{
    if (m_owner)
        m_owner->removeEventFilter(this);
}

bool TQvFormState::ownerIsForm() const
{
    return m_owner && m_owner->isWindow();
}

bool TQvFormState::sizeable() const
{
    return ownerIsForm() && m_owner->minimumSize() != m_owner->maximumSize();
}

void TQvFormState::SaveState()
{
    if (!m_enabled || !ownerIsForm())
        return;
    // The rectangle the window has when it is neither maximised nor minimised; its right
    // and bottom lie one past the last pixel.
    const QRect normal = m_owner->normalGeometry().isValid() ? m_owner->normalGeometry() : m_owner->geometry();
    try {
        IniFile ini(m_iniPath);
        ini.writeBool(m_section, MaximizedKey, m_owner->isMaximized());
        ini.writeInteger(m_section, LeftKey, normal.left());
        ini.writeInteger(m_section, TopKey, normal.top());
        if (sizeable()) {
            ini.writeInteger(m_section, RightKey, normal.left() + normal.width());
            ini.writeInteger(m_section, BottomKey, normal.top() + normal.height());
        }
        ini.writeBool(m_section, SavedKey, true);
    } catch (const AppError &error) {
        // A settings file that refuses the write is reported; the save goes on.
        ErrorBox(error.message());
    }
    if (OnSaveState)
        OnSaveState(this);
}

void TQvFormState::RestoreState()
{
    if (!m_enabled || !ownerIsForm())
        return;
    const IniFile ini(m_iniPath);
    const QRect current = m_owner->normalGeometry().isValid() ? m_owner->normalGeometry() : m_owner->geometry();
    const int left = ini.readInteger(m_section, LeftKey, current.left());
    const int top = ini.readInteger(m_section, TopKey, current.top());
    int right = left + current.width();
    int bottom = top + current.height();
    if (sizeable()) {
        right = ini.readInteger(m_section, RightKey, right);
        bottom = ini.readInteger(m_section, BottomKey, bottom);
    }
    const QRect normal(QPoint(left, top), QSize(right - left, bottom - top));
    // A maximised window takes its normal rectangle first, so un-maximising gives it.
    const Qt::WindowStates state = m_owner->windowState();
    if (state & Qt::WindowMaximized)
        m_owner->setWindowState(state & ~Qt::WindowMaximized);
    if (QGuiApplication::screenAt(normal.topLeft())) {
        m_owner->setGeometry(normal);
    } else {
        // A corner on no screen (one that was unplugged, say): the window's frame goes
        // to the origin, so its title bar can be reached.
        m_owner->resize(normal.size());
        m_owner->move(0, 0);
    }
    if (ini.readBool(m_section, MaximizedKey, false))
        m_owner->setWindowState(m_owner->windowState() | Qt::WindowMaximized);
    if (OnRestoreState)
        OnRestoreState(this);
}

bool TQvFormState::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_owner) {
        if (event->type() == QEvent::Show && !event->spontaneous())
            RunGuarded([this] { RestoreState(); });
        else if (event->type() == QEvent::Close)
            RunGuarded([this] { SaveState(); });
    }
    return false;
}

}  // namespace quillpad
