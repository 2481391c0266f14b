#!/usr/bin/env python3
# Lays same-size PNG screenshots (paletted or RGB, 8-bit) out in a grid as one RGB PNG.
# Usage: scripts/contact_sheet.py OUT.png COLUMNS FILE...
import sys, zlib, struct
def read_png(p):
    d=open(p,'rb').read(); i=8; idat=b''; plte=None
    while i<len(d):
        n=struct.unpack('>I',d[i:i+4])[0]; t=d[i+4:i+8]; c=d[i+8:i+8+n]; i+=12+n
        if t==b'IHDR': w,h,bd,ct=struct.unpack('>IIBB',c[:10])
        elif t==b'PLTE': plte=c
        elif t==b'IDAT': idat+=c
    raw=zlib.decompress(idat); bpp={3:1,2:3,6:4,0:1}[ct]; stride=w*bpp
    rows=[]; prev=bytearray(stride); o=0
    for y in range(h):
        f=raw[o]; o+=1; line=bytearray(raw[o:o+stride]); o+=stride
        for x in range(stride):
            a=line[x-bpp] if x>=bpp else 0; b=prev[x]; c=prev[x-bpp] if x>=bpp else 0
            if f==1: line[x]=(line[x]+a)&255
            elif f==2: line[x]=(line[x]+b)&255
            elif f==3: line[x]=(line[x]+(a+b)//2)&255
            elif f==4:
                pa=abs(b-c); pb=abs(a-c); pc=abs(a+b-2*c)
                pr=a if pa<=pb and pa<=pc else (b if pb<=pc else c)
                line[x]=(line[x]+pr)&255
        rows.append(bytes(line)); prev=line
    out=[]
    for r in rows:
        if ct==3: out.append(b''.join(plte[v*3:v*3+3] for v in r))
        elif ct==2: out.append(r)
        elif ct==6: out.append(b''.join(r[k:k+3] for k in range(0,len(r),4)))
        else: out.append(b''.join(bytes([v,v,v]) for v in r))
    return w,h,out
out=sys.argv[1]; cols=int(sys.argv[2]); files=sys.argv[3:]
imgs=[read_png(f) for f in files]
w,h=imgs[0][0],imgs[0][1]; n=len(imgs); rowsN=(n+cols-1)//cols
W=cols*w; H=rowsN*h
canvas=[bytearray(W*3) for _ in range(H)]
for k,(iw,ih,px) in enumerate(imgs):
    cx=(k%cols)*w; cy=(k//cols)*h
    for y in range(min(ih,h)):
        canvas[cy+y][cx*3:cx*3+min(iw,w)*3]=px[y][:min(iw,w)*3]
raw=b''.join(b'\0'+bytes(r) for r in canvas)
def chunk(t,c): return struct.pack('>I',len(c))+t+c+struct.pack('>I',zlib.crc32(t+c)&0xffffffff)
open(out,'wb').write(b'\x89PNG\r\n\x1a\n'+chunk(b'IHDR',struct.pack('>IIBBBBB',W,H,8,2,0,0,0))+chunk(b'IDAT',zlib.compress(raw,6))+chunk(b'IEND',b''))
