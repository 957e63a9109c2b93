#include "widgets/BmpMenuEvent.h"

CBmpMenuEvent::CBmpMenuEvent(EMessage nMessage, QMenu* pMenu, unsigned nItem, unsigned nFlags,
                             QWidget* pMenuWindow)
    : QEvent(EventType()),
      m_nMessage(nMessage),
      m_pMenu(pMenu),
      m_nItem(nItem),
      m_nFlags(nFlags),
      m_pMenuWindow(pMenuWindow) {}

QEvent::Type CBmpMenuEvent::EventType() {
    static const auto s_nType = static_cast<QEvent::Type>(QEvent::registerEventType());
    return s_nType;
}
