// 4 x 4 float matrices of the 3D path: row-major, used with row vectors
// (a point is transformed as p x M, translation in the last row).
#pragma once

struct Matrix4x4 {
    float m[4][4];
};

struct Vector3F {
    float x, y, z;
};

Matrix4x4 IdentityMatrix4x4();
// out = a x b, summed in double; out may be a or b.
void MultiplyMatrix4x4(Matrix4x4* out, const Matrix4x4& a, const Matrix4x4& b);
// Maps the projected square (-1..1) onto a target: scale (width / 2, -height / 2)
// and translation (x, y).
void BuildViewportMatrix(Matrix4x4* out, float x, float y, float width, float height);
// Left-handed perspective with the screen's aspect ratio. -1 (out untouched)
// when the near and far planes (nearly) coincide or the angle is (nearly) 0.
int BuildPerspectiveMatrix(Matrix4x4* out, float angle, float nearZ, float farZ);
// View matrix looking from eye at target. -1 (out untouched) when eye and
// target coincide or up is parallel to the view direction.
int BuildLookAtMatrix(Matrix4x4* out, const Vector3F& eye, const Vector3F& target, const Vector3F& up);
