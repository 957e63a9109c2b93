#include "platform/qt/BrowserThread.h"

CBrowserThread::CBrowserThread() : m_pWorkContext(new QObject) {
    m_Thread.setObjectName(QStringLiteral("browsers"));
    m_pWorkContext->moveToThread(&m_Thread);
    QObject::connect(&m_Thread, &QThread::finished, m_pWorkContext, &QObject::deleteLater);
    m_Thread.start();
}

CBrowserThread::~CBrowserThread() {
    Post([] { QThread::currentThread()->quit(); });
    m_Thread.wait();
}

void CBrowserThread::Post(std::function<void()> work) {
    QMetaObject::invokeMethod(m_pWorkContext, std::move(work), Qt::QueuedConnection);
}
