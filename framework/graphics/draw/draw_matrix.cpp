#include "graphics/draw/draw_matrix.h"

#include <cmath>

#include "graphics/device/screen_device.h"

namespace {

Vector3F Subtract(const Vector3F& a, const Vector3F& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

Vector3F Cross(const Vector3F& a, const Vector3F& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

float Dot(const Vector3F& a, const Vector3F& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// False for a vector too short to give a direction.
bool Normalise(Vector3F* v) {
    const float length = std::sqrt(Dot(*v, *v));
    if (!(length > 0.0f)) return false;
    v->x /= length;
    v->y /= length;
    v->z /= length;
    return true;
}

}  // namespace

Matrix4x4 IdentityMatrix4x4() {
    Matrix4x4 out{};
    for (int i = 0; i < 4; ++i) out.m[i][i] = 1.0f;
    return out;
}

void MultiplyMatrix4x4(Matrix4x4* out, const Matrix4x4& a, const Matrix4x4& b) {
    Matrix4x4 product{};
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k) {
                sum += static_cast<double>(a.m[row][k]) * static_cast<double>(b.m[k][column]);
            }
            product.m[row][column] = static_cast<float>(sum);
        }
    }
    *out = product;
}

void BuildViewportMatrix(Matrix4x4* out, float x, float y, float width, float height) {
    Matrix4x4 v{};
    v.m[0][0] = width * 0.5f;
    v.m[1][1] = height * -0.5f;
    v.m[2][2] = 1.0f;
    v.m[3][3] = 1.0f;
    v.m[3][0] = x;
    v.m[3][1] = y;
    *out = v;
}

int BuildPerspectiveMatrix(Matrix4x4* out, float angle, float nearZ, float farZ) {
    const double s = std::sin(angle * 0.5);
    const double c = std::cos(angle * 0.5);
    if (std::fabs(static_cast<double>(farZ) - nearZ) < 0.01 || std::fabs(s) < 0.01) return -1;
    const double cot = c / s;
    const double q = farZ / (static_cast<double>(farZ) - nearZ);

    int screenWidth = 0;
    int screenHeight = 0;
    QueryScreenSize(&screenWidth, &screenHeight);

    Matrix4x4 p{};
    p.m[0][0] = static_cast<float>(static_cast<double>(screenHeight) / screenWidth * cot);
    p.m[1][1] = static_cast<float>(cot);
    p.m[2][2] = static_cast<float>(q);
    p.m[2][3] = 1.0f;
    p.m[3][2] = static_cast<float>(-q * nearZ);
    *out = p;
    return 0;
}

int BuildLookAtMatrix(Matrix4x4* out, const Vector3F& eye, const Vector3F& target, const Vector3F& up) {
    Vector3F z = Subtract(target, eye);
    if (!Normalise(&z)) return -1;
    Vector3F x = Cross(up, z);
    if (!Normalise(&x)) return -1;
    const Vector3F y = Cross(z, x);

    Matrix4x4 v{};
    v.m[0][0] = x.x;
    v.m[1][0] = x.y;
    v.m[2][0] = x.z;
    v.m[0][1] = y.x;
    v.m[1][1] = y.y;
    v.m[2][1] = y.z;
    v.m[0][2] = z.x;
    v.m[1][2] = z.y;
    v.m[2][2] = z.z;
    v.m[3][0] = -Dot(x, eye);
    v.m[3][1] = -Dot(y, eye);
    v.m[3][2] = -Dot(z, eye);
    v.m[3][3] = 1.0f;
    *out = v;
    return 0;
}
