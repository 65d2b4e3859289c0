#include "params/parameter.h"

#include <algorithm>
#include <cmath>

std::string SharedText::get() const
{
    std::lock_guard lock(mutex_);
    return text_;
}

void SharedText::set(std::string text)
{
    std::lock_guard lock(mutex_);
    text_ = std::move(text);
}

bool SharedText::empty() const
{
    std::lock_guard lock(mutex_);
    return text_.empty();
}

bool operator==(const SharedText& a, std::string_view b)
{
    std::lock_guard lock(a.mutex_);
    return a.text_ == b;
}

IntParameter::IntParameter(std::string key, std::int32_t defaultValue, std::int32_t minValue, std::int32_t maxValue)
    : Parameter(std::move(key)), defaultValue(defaultValue), minValue(minValue), maxValue(maxValue),
      value(defaultValue)
{
}

std::int32_t IntParameter::clamp(std::int32_t v) const
{
    if (v < minValue)
        return minValue;
    return std::min(v, maxValue);
}

void IntParameter::setValue(std::int32_t v)
{
    value.store(clamp(v));
}

FloatParameter::FloatParameter(std::string key, float defaultValue, float minValue, float maxValue)
    : Parameter(std::move(key)), defaultValue(defaultValue), minValue(minValue), maxValue(maxValue),
      value(defaultValue)
{
}

float FloatParameter::clamp(float v) const
{
    if (std::isnan(v))
        return defaultValue;
    if (v < minValue)
        return minValue;
    return std::min(v, maxValue);
}

BoolParameter::BoolParameter(std::string key, bool defaultValue)
    : Parameter(std::move(key)), defaultValue(defaultValue), minValue(defaultValue), maxValue(defaultValue),
      value(defaultValue)
{
}

StringParameter::StringParameter(std::string key, std::string defaultValue)
    : Parameter(std::move(key)), defaultValue(std::move(defaultValue)), minValue(this->defaultValue),
      maxValue(this->defaultValue), value(this->defaultValue)
{
}
