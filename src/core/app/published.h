#pragma once

namespace tovi {

// Writes a model's published field and announces the change, only when the value changes.
template <typename Model, typename T>
void publish(Model* model, T& field, const T& value, void (Model::*changed)()) {
    if (field == value)
        return;
    field = value;
    (model->*changed)();
}

} // namespace tovi
