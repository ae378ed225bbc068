#pragma once

namespace mervane {

// Flat-coloured lines (wireframes, bones, marks), the same for the model's
// preview and the character view: positions in, uniforms mvp and colour.
inline constexpr const char* kLineVertexShader = R"(
attribute vec3 position;
uniform mat4 mvp;
void main() { gl_Position = mvp * vec4(position, 1.0); }
)";

inline constexpr const char* kLineFragmentShader = R"(
uniform vec3 colour;
void main() { gl_FragColor = vec4(colour, 1.0); }
)";

}  // namespace mervane
