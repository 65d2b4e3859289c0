// The main window on Win32 (user32, gdi32): one window class, a window procedure, BUTTON and
// EDIT child controls, GDI painting and the thread's message queue. Other threads reach the
// window only through the GUI queue, whose wake-up is a PostMessageW.

#include "app/application.h"

#include "app/command_handler.h"
#include "app/gui_queue.h"
#include "app/paint.h"
#include "app/text_boxes.h"
#include "app/toolkit_control_port.h"
#include "app/window_toolkit.h"
#include "core/log.h"
#include "core/windows_glue.h"

#include <atomic>
#include <string>
#include <windows.h>

namespace {

// Resources of the program (app/resources/orvanta.rc).
constexpr int kIconResource = 100;
constexpr int kClassNameResource = 101;

// Posted by any thread: the GUI queue holds tasks.
constexpr UINT kDrainGuiQueueMessage = WM_APP + 3;

constexpr DWORD kWindowStyle = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr int kFontPixels = 12;

// The main window; written on the GUI thread, read by the threads that post to it.
std::atomic<HWND> mainWindow{nullptr};
std::wstring windowClassName; // GUI thread
HFONT uiFont = nullptr;       // GUI thread; lives as long as the process
// The system's procedure of the EDIT class, which every subclassed box passes its messages on to.
WNDPROC editClassProcedure = nullptr;

HINSTANCE lf_instance()
{
    return ::GetModuleHandleW(nullptr);
}

COLORREF lf_colour(Rgb colour)
{
    return RGB(colour.red, colour.green, colour.blue);
}

// UTF-16 for the system; a text that does not convert is logged and left empty.
std::wstring lf_wide(const std::string& text)
{
    try {
        const std::u16string wide = gf_utf8ToUtf16(text);
        return {wide.begin(), wide.end()};
    } catch (const std::exception& e) {
        gf_logf("{} {}", text, e.what());
        return {};
    }
}

std::string lf_utf8(const std::wstring& text)
{
    try {
        return gf_utf16ToUtf8(std::u16string(text.begin(), text.end()));
    } catch (const std::exception& e) {
        gf_logf("{} {}", "window text", e.what());
        return {};
    }
}

std::wstring lf_windowText(HWND window)
{
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

HFONT lf_uiFont()
{
    if (uiFont == nullptr)
        uiFont = ::CreateFontW(-kFontPixels, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                               OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                               DEFAULT_PITCH | FF_SWISS, L"Segoe UI");
    return uiFont;
}

class GdiPainter : public Painter {
public:
    explicit GdiPainter(HDC dc) : dc_(dc)
    {
        ::SelectObject(dc_, lf_uiFont());
        ::SelectObject(dc_, ::GetStockObject(DC_PEN));
        ::SetBkMode(dc_, TRANSPARENT);
        TEXTMETRICW metrics{};
        if (::GetTextMetricsW(dc_, &metrics))
            lineHeight_ = metrics.tmHeight;
    }

    void fillRect(const PaintRect& rect, Rgb colour) override
    {
        const RECT area{rect.left, rect.top, rect.right, rect.bottom};
        ::SetDCBrushColor(dc_, lf_colour(colour));
        ::FillRect(dc_, &area, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
    }
    void line(int x1, int y1, int x2, int y2, Rgb colour) override
    {
        ::SetDCPenColor(dc_, lf_colour(colour));
        ::MoveToEx(dc_, x1, y1, nullptr);
        ::LineTo(dc_, x2, y2);
        ::SetPixelV(dc_, x2, y2, lf_colour(colour)); // LineTo leaves out the end point
    }
    void text(int x, int y, int right, const std::string& text, Rgb colour) override
    {
        const std::wstring wide = lf_wide(text);
        const RECT cell{x, y, right, y + lineHeight_};
        ::SetTextColor(dc_, lf_colour(colour));
        ::ExtTextOutW(dc_, x, y, ETO_CLIPPED, &cell, wide.c_str(), static_cast<UINT>(wide.size()), nullptr);
    }

private:
    HDC dc_;
    int lineHeight_ = kFontPixels * 2; // until the font tells its own
};

LRESULT CALLBACK lf_editBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam);

// The control port on BUTTON and EDIT child windows; the control id is the child's id, so that
// their notifications reach the window procedure as WM_COMMAND with that id.
class Win32ControlPort : public ToolkitControlPort {
protected:
    void* makeWidget(const ControlPlacement& placement, Control& control) override
    {
        HWND parent = mainWindow.load();
        const auto id = reinterpret_cast<HMENU>(static_cast<std::uintptr_t>(placement.controlId));
        HWND child = nullptr;
        switch (placement.kind) {
        case ControlKind::CheckBox:
            // Not an automatic box: the command handler sets the mark.
            child = ::CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | BS_CHECKBOX, placement.x,
                                      placement.y, placement.width, placement.height, parent, id, lf_instance(),
                                      nullptr);
            if (child != nullptr)
                ::SendMessageW(child, BM_SETCHECK, control.checked ? BST_CHECKED : BST_UNCHECKED, 0);
            break;
        case ControlKind::Button:
            child = ::CreateWindowExW(0, L"BUTTON", lf_wide(placement.caption).c_str(),
                                      WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, placement.x, placement.y,
                                      placement.width, placement.height, parent, id, lf_instance(), nullptr);
            break;
        case ControlKind::EditBox:
            child = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL,
                                      placement.x, placement.y, placement.width, placement.height, parent, id,
                                      lf_instance(), nullptr);
            if (child != nullptr) {
                ::SetWindowLongPtrW(child, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&control));
                const auto previous = reinterpret_cast<WNDPROC>(
                    ::SetWindowLongPtrW(child, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(lf_editBoxProc)));
                editClassProcedure = previous;
            }
            break;
        }
        if (child == nullptr)
            return nullptr;
        ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(lf_uiFont()), FALSE);
        if (!placement.enabled)
            ::EnableWindow(child, FALSE);
        return child;
    }

    bool applyToWidget(const Control& state) override
    {
        auto* child = static_cast<HWND>(state.widget);
        const bool enabledChanged = (::IsWindowEnabled(child) != FALSE) != state.enabled;
        if (enabledChanged)
            ::EnableWindow(child, state.enabled ? TRUE : FALSE);
        if (state.kind == ControlKind::CheckBox)
            ::SendMessageW(child, BM_SETCHECK, state.checked ? BST_CHECKED : BST_UNCHECKED, 0);
        if (state.kind == ControlKind::EditBox) {
            const std::wstring text = lf_wide(state.text);
            if (text != lf_windowText(child))
                ::SetWindowTextW(child, text.c_str());
        }
        return enabledChanged;
    }
};

Win32ControlPort& lf_port()
{
    static Win32ControlPort port;
    return port;
}

HWND lf_childOf(std::uint16_t controlId)
{
    return static_cast<HWND>(lf_port().widgetOf(controlId));
}

// An edit box acts on Enter (WM_CHAR 13), which goes no further; every other message is the
// system's.
LRESULT CALLBACK lf_editBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CHAR && wParam == 13) {
        gf_textBoxEnter(static_cast<std::uint16_t>(::GetDlgCtrlID(box)));
        return 0;
    }
    return ::CallWindowProcW(editClassProcedure, box, message, wParam, lParam);
}

// The whole client area into a bitmap first, so that a repaint never flickers.
void lf_paint(HWND window)
{
    PAINTSTRUCT paint;
    HDC screen = ::BeginPaint(window, &paint);
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, kClientWidth, kClientHeight);
    HGDIOBJ previousBitmap = ::SelectObject(memory, bitmap);
    HGDIOBJ previousFont = ::SelectObject(memory, lf_uiFont());
    {
        GdiPainter painter(memory);
        gf_paintMainWindow(painter);
    }
    ::BitBlt(screen, 0, 0, kClientWidth, kClientHeight, memory, 0, 0, SRCCOPY);
    ::SelectObject(memory, previousFont);
    ::SelectObject(memory, previousBitmap);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::EndPaint(window, &paint);
}

void lf_command(WPARAM wParam, LPARAM lParam)
{
    const auto controlId = static_cast<std::uint16_t>(LOWORD(wParam));
    if (HIWORD(wParam) == EN_CHANGE && lParam != 0) {
        const auto box = reinterpret_cast<HWND>(lParam);
        if (auto* control = reinterpret_cast<ToolkitControlPort::Control*>(::GetWindowLongPtrW(box, GWLP_USERDATA)))
            lf_port().textTyped(*control, lf_utf8(lf_windowText(box)));
    }
    lf_HandleWMCOMMAND(controlId);
}

LRESULT CALLBACK lf_windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    mainWindow.store(window);
    switch (message) {
    case WM_CREATE:
        gf_layoutControls();
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    case WM_ERASEBKGND:
        return 1; // the paint covers the whole client area
    case WM_PAINT:
        lf_paint(window);
        return 0;
    case WM_CLOSE:
        gf_closeBoxClicked(); // the exit takes the window down
        return 0;
    case WM_COMMAND:
        lf_command(wParam, lParam);
        return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
        const auto dc = reinterpret_cast<HDC>(wParam);
        ::SetBkMode(dc, OPAQUE);
        ::SetBkColor(dc, lf_colour(kLightBlue));
        ::SetDCBrushColor(dc, lf_colour(kLightBlue));
        return reinterpret_cast<LRESULT>(::GetStockObject(DC_BRUSH));
    }
    case kDrainGuiQueueMessage:
        gf_drainGuiQueue();
        return 0;
    default:
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

std::wstring lf_loadClassName()
{
    wchar_t text[101] = {};
    const int length = ::LoadStringW(lf_instance(), kClassNameResource, text, 100);
    return length > 0 ? std::wstring(text, static_cast<std::size_t>(length)) : std::wstring(L"Orvanta_P3D");
}

} // namespace

bool gf_openWindowSystem()
{
    if (!windowClassName.empty())
        return true;
    const std::wstring name = lf_loadClassName();
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = lf_windowProc;
    windowClass.hInstance = lf_instance();
    windowClass.hIcon = ::LoadIconW(lf_instance(), MAKEINTRESOURCEW(kIconResource));
    windowClass.hIconSm = static_cast<HICON>(::LoadImageW(lf_instance(), MAKEINTRESOURCEW(kIconResource), IMAGE_ICON,
                                                          ::GetSystemMetrics(SM_CXSMICON),
                                                          ::GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = name.c_str();
    if (::RegisterClassExW(&windowClass) == 0)
        return false;
    windowClassName = name;
    return true;
}

ControlPort& gf_toolkitControlPort()
{
    return lf_port();
}

std::function<void()> gf_toolkitWake()
{
    // Before the window exists nothing is posted: the loop drains the queue before it waits.
    return [] {
        if (HWND window = mainWindow.load())
            ::PostMessageW(window, kDrainGuiQueueMessage, 0, 0);
    };
}

void gf_makeToolkitWindow(const std::string& title, int x, int y)
{
    gf_dropToolkitWindow();
    if (!gf_openWindowSystem())
        return;
    RECT frame{0, 0, kClientWidth, kClientHeight};
    ::AdjustWindowRectEx(&frame, kWindowStyle, FALSE, 0);
    // WM_CREATE lays out the controls, with mainWindow already set by the window procedure.
    HWND window = ::CreateWindowExW(0, windowClassName.c_str(), lf_wide(title).c_str(), kWindowStyle, x, y,
                                    frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                                    lf_instance(), nullptr);
    mainWindow.store(window);
}

void gf_dropToolkitWindow()
{
    HWND window = mainWindow.load();
    if (window == nullptr)
        return;
    lf_port().detachWidgets();
    ::DestroyWindow(window);
    mainWindow.store(nullptr);
    // The quit message that WM_DESTROY posted belongs to this window only.
    MSG quit;
    ::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
}

bool gf_showToolkitWindow()
{
    HWND window = mainWindow.load();
    if (window == nullptr)
        return false;
    ::ShowWindow(window, SW_SHOWNORMAL);
    return ::UpdateWindow(window) != FALSE;
}

void gf_redrawToolkitWindow()
{
    if (HWND window = mainWindow.load())
        ::InvalidateRect(window, nullptr, FALSE);
}

void gf_setToolkitStayOnTop(bool on)
{
    if (HWND window = mainWindow.load())
        ::SetWindowPos(window, on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void gf_toolkitWindowPosition(int& left, int& top)
{
    RECT frame{};
    if (HWND window = mainWindow.load(); window != nullptr && ::GetWindowRect(window, &frame)) {
        left = frame.left;
        top = frame.top;
    }
}

bool gf_waitForWindowEvents()
{
    MSG message;
    if (::GetMessageW(&message, nullptr, 0, 0) <= 0)
        return false;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
    return true;
}

std::optional<ControlView> gf_viewControl(std::uint16_t controlId)
{
    HWND child = lf_childOf(controlId);
    const std::optional<ToolkitControlPort::Control> state = lf_port().stateOf(controlId);
    if (child == nullptr || !state)
        return std::nullopt;
    RECT area{};
    ::GetWindowRect(child, &area);
    ::MapWindowPoints(HWND_DESKTOP, mainWindow.load(), reinterpret_cast<POINT*>(&area), 2);
    ControlView view;
    view.x = area.left;
    view.y = area.top;
    view.width = area.right - area.left;
    view.height = area.bottom - area.top;
    view.active = ::IsWindowEnabled(child) != FALSE;
    switch (state->kind) {
    case ControlKind::CheckBox:
        view.kind = "check box";
        view.checked = ::SendMessageW(child, BM_GETCHECK, 0, 0) == BST_CHECKED;
        break;
    case ControlKind::Button:
        view.kind = "button";
        view.label = lf_utf8(lf_windowText(child));
        break;
    case ControlKind::EditBox:
        view.kind = "edit box";
        view.text = lf_utf8(lf_windowText(child));
        break;
    }
    return view;
}

void gf_clickControl(std::uint16_t controlId)
{
    if (HWND child = lf_childOf(controlId); child != nullptr && ::IsWindowEnabled(child))
        ::SendMessageW(mainWindow.load(), WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED),
                       reinterpret_cast<LPARAM>(child));
}

void gf_typeIntoControl(std::uint16_t controlId, const std::string& text)
{
    if (HWND child = lf_childOf(controlId); child != nullptr && ::IsWindowEnabled(child))
        ::SetWindowTextW(child, lf_wide(text).c_str());
}

void gf_pressEnterInControl(std::uint16_t controlId)
{
    if (HWND child = lf_childOf(controlId); child != nullptr && ::IsWindowEnabled(child))
        ::SendMessageW(child, WM_CHAR, 13, 0);
}

void gf_pressEscape()
{
    // Escape means nothing to this window.
}

void gf_clickCloseBox()
{
    if (HWND window = mainWindow.load())
        ::SendMessageW(window, WM_CLOSE, 0, 0);
}
