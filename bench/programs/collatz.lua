local total = 0
local i = 1
while i <= 100000 do
  local n = i
  while n ~= 1 do
    if n % 2 == 0 then n = n // 2 else n = 3 * n + 1 end
    total = total + 1
  end
  i = i + 1
end
assert(total == 10753840)
