#include "platform/core/AfxMessageBox.h"

#include "platform/core/UiThread.h"

namespace {
MessageBoxPresenter s_presenter; // read and written on the user-interface thread only
} // namespace

int DefaultMessageBoxAnswer(UINT type) {
    switch (type & MB_TYPEMASK) {
    case MB_YESNO:
        return IDNO;
    case MB_OKCANCEL:
    case MB_YESNOCANCEL:
        return IDCANCEL;
    default:
        return IDOK;
    }
}

int AfxMessageBox(const QString& text, UINT type) {
    int answer = DefaultMessageBoxAnswer(type);
    RunOnUiThread([&] {
        if (s_presenter)
            answer = s_presenter(text, type);
    });
    return answer;
}

void SetMessageBoxPresenter(MessageBoxPresenter presenter) {
    s_presenter = std::move(presenter);
}
