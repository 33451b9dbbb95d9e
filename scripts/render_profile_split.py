#!/usr/bin/python3
"""Splits a callgrind profile of tarvo-render (collected inside renderSample) into where the
instructions go: Embree traversal, the library's entry points, the host's services, the rest.

Every instruction is counted once, where it executes (self cost). The maths library is charged
to whichever part called it. Usage: render_profile_split.py callgrind.out [top N items]
"""
import collections
import sys

# The host's callbacks Embree runs for the analytic shapes, and the ray set-up around it.
EMBREE = ('shapeIntersect', 'intersectShape', 'shapeOccluded', 'closestHit(',
          'Geometry::occluded', 'Geometry::intersect(')
# What the library calls back: IHostContext's services and what answers them.
SERVICES = ('RenderHost::occlusion', 'RenderHost::indirectDiffuse', 'RenderHost::queryLight',
            'RenderHost::lightSamples', 'RenderHost::transmission', 'RenderHost::request',
            'RenderHost::traceReflection', 'RenderHost::traceRefraction',
            'RenderHost::traceContinue', 'RenderHost::traceSpecular',
            'RenderHost::traceAnisotropic', 'RenderHost::glossyDirection',
            'RenderHost::random', 'RenderHost::noise', 'RenderHost::cellRandom',
            'RenderHost::lookup49', 'RenderHost::cellVector', 'tarvo::render::noise',
            'latticeValue', 'cellVector(', 'cellRandom(', 'Texture', 'Cube::sample',
            'wrapCoordinate', 'latLongCoordinates', 'srgbToLinear', 'RenderHost::offsetRay',
            'cornerValue')
PARTS = ('Embree traversal', 'library entry points', 'host services', 'the rest')


def part(obj, fn):
    if 'libembree' in obj or any(s in fn for s in EMBREE):
        return PARTS[0]
    if 'libtarvoShaders' in obj:
        return PARTS[1]
    if any(s in obj for s in ('OpenImageIO', 'boost_thread', 'OpenEXR', 'Imath')):
        return PARTS[2]
    if 'tarvo-render' in obj and any(s in fn for s in SERVICES):
        return PARTS[2]
    if 'libm.so' in obj or 'libm-' in obj:
        return 'maths'
    return PARTS[3]


def main():
    own = collections.Counter()
    maths = collections.Counter()
    items = collections.Counter()
    obj = fn = callee = None
    call_line = False
    for line in open(sys.argv[1]):
        if line.startswith('ob='):
            obj = line[3:].strip()
        elif line.startswith('fn='):
            fn = line[3:].strip()
            callee = None
        elif line.startswith('cob='):
            callee = line[4:].strip()
        elif line.startswith('calls='):
            call_line = True
        elif line[:1].isdigit() or line.startswith(('+', '-', '*', '0x')):
            cost = int(line.split()[-1])
            if call_line:
                call_line = False
                if 'libm' in (callee or obj) and 'libm' not in obj:
                    maths[part(obj, fn)] += cost
                callee = None
            else:
                own[part(obj, fn)] += cost
                items[(obj.rsplit('/', 1)[-1], fn)] += cost
    total = sum(own.values())
    print(f'{total / 1e6:,.0f} M instructions')
    for p in PARTS:
        print(f'{p:22} {100 * own[p] / total:5.1f} % + {100 * maths[p] / total:4.1f} % maths'
              f' = {100 * (own[p] + maths[p]) / total:5.1f} %  {(own[p] + maths[p]) / 1e6:7,.1f} M')
    both = own[PARTS[0]] + own[PARTS[1]] + maths[PARTS[0]] + maths[PARTS[1]]
    print(f'{"Embree and the library":22} {100 * both / total:5.1f} %')
    for (o, f), cost in items.most_common(int(sys.argv[2]) if len(sys.argv) > 2 else 0):
        print(f'{100 * cost / total:5.1f} %  {o[:16]:16} {f[:90]}')


if __name__ == '__main__':
    main()
