#!/usr/bin/env python3
"""Reads `xdelta3 printdelta` output and says what that parse would keep in the PayloadDirectory format.

ADD and RUN bytes and copies from the target itself (T@) become literal bytes (the format copies only from
the store); copies from the source (S@) become ChunkRefs. Adjacent literal runs merge, and then the packer's
cost rule is applied (a copy with k literal neighbours is kept only if longer than 8 * k bytes).
Prints one line: raw_literal raw_refs settled_literal settled_refs
"""
import re
import sys
pat=re.compile(r'(ADD|RUN|CPY_\d+)\s+(\d+)(?:\s+([ST])@(\d+))?')
pieces=[]  # (isLiteral, length)
adds=runs=scopies=tcopies=0; addb=runb=sb=tb=0
for line in open(sys.argv[1]):
    m=re.match(r'^\s+\d{6,}\s+\d{3}\s+(.*)$', line)
    if not m: continue
    for t,size,kind,addr in pat.findall(m.group(1)):
        n=int(size)
        if t=='ADD': adds+=1; addb+=n; pieces.append((True,n))
        elif t=='RUN': runs+=1; runb+=n; pieces.append((True,n))
        elif kind=='S': scopies+=1; sb+=n; pieces.append((False,n))
        else: tcopies+=1; tb+=n; pieces.append((True,n))
print(f"# xdelta3 instructions: ADD {adds} ({addb} B), RUN {runs} ({runb} B), source copies {scopies} ({sb} B), "
      f"target copies {tcopies} ({tb} B)", file=sys.stderr)
# In this format: ADD, RUN and target copies are literal bytes; adjacent literals merge; then the cost rule.
out=[]
def fold_at(i, has_right):
    lit_l = i>0 and out[i-1][0]; lit_r = has_right and out[i+1][0]
    k=int(lit_l)+int(lit_r)
    if out[i][1] > 8*k: return False
    n=out[i][1]; out[i]=(True,n)
    if lit_r: out[i]=(True,out[i][1]+out[i+1][1]); del out[i+1]
    if lit_l: out[i-1]=(True,out[i-1][1]+out[i][1]); del out[i]
    return True
for p in pieces:
    if out and out[-1][0] and p[0]: out[-1]=(True,out[-1][1]+p[1]); continue
    out.append(p)
    while len(out)>=2 and not out[-2][0] and fold_at(len(out)-2, True): pass
if out and not out[-1][0] and fold_at(len(out)-1, False):
    while len(out)>=2 and not out[-2][0] and fold_at(len(out)-2, True): pass
lit=sum(n for l,n in out if l); refs=len(out)
rawlit=addb+runb+tb; rawrefs=len([1 for i,p in enumerate(pieces) if not p[0] or i==0 or not pieces[i-1][0]])
print(rawlit, rawrefs, lit, refs)
