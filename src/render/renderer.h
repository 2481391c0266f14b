// The drawing interface both back ends implement: a per-frame triangle list
// fed with meshes and lights, drawn back to front by EndFrame.
#pragma once

#include <cstdint>

#include "assets/mesh.h"

namespace zq {

// The two stereoscopic modes the player can pick; each back end turns them
// into its own colours and eye offset.
enum class StereoMode { RedBlue, RedGreen };

// Positions are world units, angles 1/32768 of a turn.  `ambient` is a signed
// offset on the 0..255 light scale, `transparency` a percentage (0 opaque).
class Renderer {
public:
    virtual ~Renderer() = default;

    // Sets the frame size in pixels and the projection that goes with it.
    virtual void SetProjection(int width, int height) = 0;
    // Fills the whole frame with one palette index.
    virtual void ClearFrame(int colour) = 0;
    // Places the camera and empties the light and triangle lists.
    virtual void BeginFrame(int x, int y, int z, int roll, int pitch, int yaw) = 0;
    virtual void AddLight(int x, int y, int z, int radius) = 0;
    virtual void AddMesh(const Mesh& mesh, int x, int y, int z, int id, int transparency, int ambient,
                         int pitch, int roll, int yaw) = 0;
    // A generous visibility test for culling whole cells.
    virtual bool IsPointVisible(int radius, int x, int y, int z) const = 0;
    // Where a world point falls in the frame of the last EndFrame, as
    // fractions of the view from its top left (so 2-D text can follow it);
    // false when the point is behind the eye or the back end cannot say.
    virtual bool ScreenPoint(int x, int y, int z, float& fx, float& fy) const {
        (void)x, (void)y, (void)z, (void)fx, (void)fy;
        return false;
    }
    // Lights, sorts and draws the triangles added since BeginFrame.
    virtual void EndFrame() = 0;
    // Hands the finished frame to the display.
    virtual void Present() = 0;
    virtual void StereoOn(StereoMode mode) = 0;
    virtual void StereoOff() = 0;
};

}  // namespace zq
