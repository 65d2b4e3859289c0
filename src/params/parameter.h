#pragma once
// The class family of the program's settings. Every setting is one global object (see
// params/parameters.h) with its key, its default, its range and its current value; the settings
// shown on the main window also carry the binding to their control.
//
// Current values are read by every thread without asking anyone: numbers and bools are atomics,
// texts sit behind a small lock of their own (SharedText). Default, minimum and maximum never
// change after construction. Objects are never copied or moved; other code keeps plain pointers.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

// A text that one thread may replace while others read it: every read is a whole old or a
// whole new value.
class SharedText {
public:
    explicit SharedText(std::string text = {}) : text_(std::move(text)) {}
    SharedText(const SharedText&) = delete;
    SharedText& operator=(const SharedText&) = delete;

    std::string get() const;
    void set(std::string text);
    bool empty() const;

    operator std::string() const { return get(); }
    SharedText& operator=(std::string text)
    {
        set(std::move(text));
        return *this;
    }
    friend bool operator==(const SharedText& a, std::string_view b);

private:
    mutable std::mutex mutex_;
    std::string text_;
};

class Parameter {
public:
    explicit Parameter(std::string key) : name(std::move(key)) {}
    virtual ~Parameter() = default;
    Parameter(const Parameter&) = delete;
    Parameter& operator=(const Parameter&) = delete;

    // The key in parameters.xml, or the caption of a button.
    const std::string name;
};

class IntParameter : public Parameter {
public:
    IntParameter(std::string key, std::int32_t defaultValue, std::int32_t minValue, std::int32_t maxValue);

    // Stores v limited to [minValue, maxValue].
    void setValue(std::int32_t v);
    std::int32_t clamp(std::int32_t v) const;

    const std::int32_t defaultValue;
    const std::int32_t minValue;
    const std::int32_t maxValue;
    std::atomic<std::int32_t> value;
};

class FloatParameter : public Parameter {
public:
    FloatParameter(std::string key, float defaultValue, float minValue, float maxValue);

    float clamp(float v) const;

    const float defaultValue;
    const float minValue;
    const float maxValue;
    std::atomic<float> value;
};

class BoolParameter : public Parameter {
public:
    BoolParameter(std::string key, bool defaultValue);

    const bool defaultValue;
    const bool minValue; // the default; a bool has no range
    const bool maxValue; // the default
    std::atomic<bool> value;
};

class StringParameter : public Parameter {
public:
    StringParameter(std::string key, std::string defaultValue);

    std::string getValue() const { return value.get(); }

    const std::string defaultValue;
    const std::string minValue; // the default; a text has no range
    const std::string maxValue; // the default
    SharedText value;
};

// The toolkit's handle of a created control, given out by the control port; null until the
// control exists.
using ControlHandle = void*;

// Second base of every setting that the main window shows.
class ParameterControl {
public:
    ParameterControl(std::uint16_t controlId, std::int32_t rowY) : controlId(controlId), rowY(rowY) {}
    virtual ~ParameterControl() = default;
    ParameterControl(const ParameterControl&) = delete;
    ParameterControl& operator=(const ParameterControl&) = delete;

    // Id of the child control; the command id of its notifications.
    const std::uint16_t controlId;
    // Top edge of the control in client pixels of the main window (a check box sits 2 lower).
    const std::int32_t rowY;
    // Set on the GUI thread when the control is created, read by the work thread.
    std::atomic<ControlHandle> hwnd{nullptr};
};

class IntTextBox : public IntParameter, public ParameterControl {
public:
    IntTextBox(std::string key, std::int32_t defaultValue, std::int32_t minValue, std::int32_t maxValue,
               std::uint16_t controlId, std::int32_t rowY)
        : IntParameter(std::move(key), defaultValue, minValue, maxValue), ParameterControl(controlId, rowY)
    {
    }
};

class FloatTextBox : public FloatParameter, public ParameterControl {
public:
    FloatTextBox(std::string key, float defaultValue, float minValue, float maxValue, std::uint16_t controlId,
                 std::int32_t rowY)
        : FloatParameter(std::move(key), defaultValue, minValue, maxValue), ParameterControl(controlId, rowY)
    {
    }
};

class CheckBox : public BoolParameter, public ParameterControl {
public:
    CheckBox(std::string key, bool defaultValue, std::uint16_t controlId, std::int32_t rowY)
        : BoolParameter(std::move(key), defaultValue), ParameterControl(controlId, rowY)
    {
    }
};

class StringTextBox : public StringParameter, public ParameterControl {
public:
    StringTextBox(std::string key, std::string defaultValue, std::uint16_t controlId, std::int32_t rowY)
        : StringParameter(std::move(key), std::move(defaultValue)), ParameterControl(controlId, rowY)
    {
    }
};

// A push button: a Parameter whose name is its caption; never stored.
class Button : public Parameter, public ParameterControl {
public:
    Button(std::string caption, std::uint16_t controlId, std::int32_t rowY)
        : Parameter(std::move(caption)), ParameterControl(controlId, rowY)
    {
    }
};
