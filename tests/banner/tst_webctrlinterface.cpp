// The banner's host object as the browser control sees it: which interfaces it hands out,
// what each method answers, and that it goes exactly once when the last reference does.
#include "banner/CWebCtrlInterFace.h"

#include <QTest>

#include <functional>
#include <thread>

namespace {

const IID kOtherIid = {0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}};

// Something that is not null, to see whether an out pointer was written.
void* const kStale = reinterpret_cast<void*>(0x1234);

// A host that Release has not deleted yet; one reference is held for the test.
CWebCtrlInterFace* NewHost() {
    auto* host = new CWebCtrlInterFace;
    host->AddRef();
    return host;
}

using Call = std::function<HRESULT(CWebCtrlInterFace*, void** out)>;

template <typename T> T** As(void** out) {
    return reinterpret_cast<T**>(out);
}

} // namespace

Q_DECLARE_METATYPE(IID)
Q_DECLARE_METATYPE(Call)

class TestWebCtrlInterFace : public QObject {
    Q_OBJECT

private slots:
    void queryInterface_data();
    void queryInterface();
    void unwritableOutPointerForQueryInterface();
    void methodResults_data();
    void methodResults();
    void hostInfoSetsOnlyTheFlags();
    void countStartsAtZeroAndDeletesOnceAtZero();
    void countIsSafeAcrossThreads();
};

void TestWebCtrlInterFace::queryInterface_data() {
    QTest::addColumn<bool>("viaHandler"); // asked through the second interface
    QTest::addColumn<IID>("iid");
    QTest::addColumn<int>("expected"); // 0 none, 1 primary, 2 second
    for (bool viaHandler : {false, true}) {
        const char* via = viaHandler ? "via handler" : "via site";
        QTest::addRow("IUnknown %s", via) << viaHandler << IID_IUnknown << 1;
        QTest::addRow("IOleClientSite %s", via) << viaHandler << IID_IOleClientSite << 1;
        QTest::addRow("IDocHostUIHandler %s", via) << viaHandler << IID_IDocHostUIHandler << 2;
        QTest::addRow("IOleObject %s", via) << viaHandler << IID_IOleObject << 0;
        QTest::addRow("IWebBrowser2 %s", via) << viaHandler << IID_IWebBrowser2 << 0;
        QTest::addRow("IDispatch %s", via) << viaHandler << IID_IDispatch << 0;
        QTest::addRow("IOleContainer %s", via) << viaHandler << IID_IOleContainer << 0;
        QTest::addRow("unknown id %s", via) << viaHandler << kOtherIid << 0;
    }
}

void TestWebCtrlInterFace::queryInterface() {
    QFETCH(bool, viaHandler);
    QFETCH(IID, iid);
    QFETCH(int, expected);

    CWebCtrlInterFace* host = NewHost();
    IUnknown* asked = viaHandler ? static_cast<IUnknown*>(static_cast<IDocHostUIHandler*>(host))
                                 : static_cast<IUnknown*>(static_cast<IOleClientSite*>(host));
    void* out = kStale;
    const HRESULT hr = asked->QueryInterface(iid, &out);
    if (expected == 0) {
        QCOMPARE(hr, E_NOINTERFACE);
        QCOMPARE(out, nullptr);
        QCOMPARE(host->Release(), ULONG(0)); // the count was not raised
        return;
    }
    QCOMPARE(hr, S_OK);
    void* const want = expected == 1 ? static_cast<void*>(static_cast<IOleClientSite*>(host))
                                     : static_cast<void*>(static_cast<IDocHostUIHandler*>(host));
    QCOMPARE(out, want);
    QCOMPARE(host->Release(), ULONG(1)); // raised by one
    QCOMPARE(static_cast<IUnknown*>(out)->Release(), ULONG(0));
}

void TestWebCtrlInterFace::unwritableOutPointerForQueryInterface() {
    CWebCtrlInterFace* host = NewHost();
    for (const IID& iid : {IID_IUnknown, IID_IDocHostUIHandler, kOtherIid})
        QCOMPARE(host->QueryInterface(iid, nullptr), E_INVALIDARG);
    QCOMPARE(host->Release(), ULONG(0));
}

void TestWebCtrlInterFace::methodResults_data() {
    QTest::addColumn<Call>("call");
    QTest::addColumn<HRESULT>("result");
    QTest::addColumn<bool>("clearsOut"); // sets its out pointer to null

    using H = CWebCtrlInterFace;
    QTest::newRow("SaveObject") << Call([](H* h, void**) { return h->SaveObject(); }) << E_FAIL
                                << false;
    QTest::newRow("GetMoniker") << Call([](H* h, void** o) {
        return h->GetMoniker(0, 0, As<IMoniker>(o));
    }) << E_NOTIMPL << true;
    QTest::newRow("GetContainer") << Call([](H* h, void** o) {
        return h->GetContainer(As<IOleContainer>(o));
    }) << E_NOINTERFACE << true;
    QTest::newRow("ShowObject") << Call([](H* h, void**) { return h->ShowObject(); }) << S_OK
                                << false;
    QTest::newRow("OnShowWindow") << Call([](H* h, void**) { return h->OnShowWindow(TRUE); })
                                  << S_OK << false;
    QTest::newRow("RequestNewObjectLayout")
        << Call([](H* h, void**) { return h->RequestNewObjectLayout(); }) << E_NOTIMPL << false;
    QTest::newRow("ShowContextMenu") << Call([](H* h, void**) {
        POINT pt{10, 10};
        return h->ShowContextMenu(CONTEXT_MENU_DEFAULT, &pt, nullptr, nullptr);
    }) << S_OK << false;
    QTest::newRow("ShowUI") << Call([](H* h, void**) {
        return h->ShowUI(0, nullptr, nullptr, nullptr, nullptr);
    }) << S_FALSE << false;
    QTest::newRow("HideUI") << Call([](H* h, void**) { return h->HideUI(); }) << E_NOTIMPL << false;
    QTest::newRow("UpdateUI") << Call([](H* h, void**) { return h->UpdateUI(); }) << E_NOTIMPL
                              << false;
    QTest::newRow("EnableModeless")
        << Call([](H* h, void**) { return h->EnableModeless(TRUE); }) << E_NOTIMPL << false;
    QTest::newRow("OnDocWindowActivate")
        << Call([](H* h, void**) { return h->OnDocWindowActivate(TRUE); }) << E_NOTIMPL << false;
    QTest::newRow("OnFrameWindowActivate")
        << Call([](H* h, void**) { return h->OnFrameWindowActivate(TRUE); }) << E_NOTIMPL << false;
    QTest::newRow("ResizeBorder") << Call([](H* h, void**) {
        RECT rc{0, 0, 10, 10};
        return h->ResizeBorder(&rc, nullptr, TRUE);
    }) << E_NOTIMPL << false;
    QTest::newRow("TranslateAccelerator") << Call([](H* h, void**) {
        MSG msg;
        return h->TranslateAccelerator(&msg, nullptr, 0);
    }) << E_NOTIMPL << false;
    QTest::newRow("GetOptionKeyPath")
        << Call([](H* h, void** o) { return h->GetOptionKeyPath(As<OLECHAR>(o), 0); }) << E_NOTIMPL
        << true;
    QTest::newRow("GetDropTarget")
        << Call([](H* h, void** o) { return h->GetDropTarget(nullptr, As<IDropTarget>(o)); })
        << E_NOTIMPL << true;
    QTest::newRow("GetExternal") << Call([](H* h, void** o) {
        return h->GetExternal(As<IDispatch>(o));
    }) << E_NOTIMPL << true;
    QTest::newRow("TranslateUrl") << Call([](H* h, void** o) {
        OLECHAR in[] = u"http://example.org/";
        return h->TranslateUrl(0, in, As<OLECHAR>(o));
    }) << S_FALSE << true;
    QTest::newRow("FilterDataObject")
        << Call([](H* h, void** o) { return h->FilterDataObject(nullptr, As<IDataObject>(o)); })
        << S_FALSE << true;
}

void TestWebCtrlInterFace::methodResults() {
    QFETCH(Call, call);
    QFETCH(HRESULT, result);
    QFETCH(bool, clearsOut);

    CWebCtrlInterFace* host = NewHost();
    void* out = kStale;
    QCOMPARE(call(host, &out), result);
    QCOMPARE(out, clearsOut ? nullptr : kStale);
    // With nowhere to write, the same answer and no crash.
    QCOMPARE(call(host, nullptr), result);
    QCOMPARE(host->Release(), ULONG(0)); // no method touched the count
}

void TestWebCtrlInterFace::hostInfoSetsOnlyTheFlags() {
    CWebCtrlInterFace* host = NewHost();
    OLECHAR css[] = u"body{}";
    DOCHOSTUIINFO info{sizeof(DOCHOSTUIINFO), 0x1, 7, css, nullptr};
    QCOMPARE(host->GetHostInfo(&info), S_OK);
    QCOMPARE(info.dwFlags, DWORD(0x8C));
    QCOMPARE(info.cbSize, ULONG(sizeof(DOCHOSTUIINFO)));
    QCOMPARE(info.dwDoubleClick, DWORD(7));
    QCOMPARE(info.pchHostCss, css);
    QCOMPARE(host->GetHostInfo(nullptr), E_INVALIDARG);
    QCOMPARE(host->Release(), ULONG(0));
}

void TestWebCtrlInterFace::countStartsAtZeroAndDeletesOnceAtZero() {
    const int before = CWebCtrlInterFace::DestroyedCountForTesting();
    auto* host = new CWebCtrlInterFace;
    QCOMPARE(host->AddRef(), ULONG(1)); // so it started at 0
    QCOMPARE(host->AddRef(), ULONG(2));
    QCOMPARE(host->Release(), ULONG(1));
    QCOMPARE(CWebCtrlInterFace::DestroyedCountForTesting(), before);
    QCOMPARE(host->Release(), ULONG(0));
    QCOMPARE(CWebCtrlInterFace::DestroyedCountForTesting(), before + 1);
}

void TestWebCtrlInterFace::countIsSafeAcrossThreads() {
    const int before = CWebCtrlInterFace::DestroyedCountForTesting();
    CWebCtrlInterFace* host = NewHost();
    constexpr int kRounds = 200000;
    auto churn = [host] {
        for (int i = 0; i < kRounds; ++i) {
            host->AddRef();
            host->Release();
        }
    };
    std::thread a(churn);
    std::thread b(churn);
    churn();
    a.join();
    b.join();
    QCOMPARE(CWebCtrlInterFace::DestroyedCountForTesting(), before);
    QCOMPARE(host->Release(), ULONG(0));
    QCOMPARE(CWebCtrlInterFace::DestroyedCountForTesting(), before + 1);
}

QTEST_APPLESS_MAIN(TestWebCtrlInterFace)
#include "tst_webctrlinterface.moc"
